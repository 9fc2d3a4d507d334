#pragma once
// Helpers shared by the benchmarks: peak memory of the process.
#include <cstdint>

namespace velt::bench {

// Peak resident set size of this process in bytes.
std::uint64_t PeakRssBytes();

}  // namespace velt::bench
