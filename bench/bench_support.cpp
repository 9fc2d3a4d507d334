#include "bench_support.h"

#include <sys/resource.h>

namespace velt::bench {

std::uint64_t PeakRssBytes() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;
}

}  // namespace velt::bench
