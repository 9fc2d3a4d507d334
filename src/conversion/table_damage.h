#pragma once
// Damage that a table's header and size reveal, told before a run reads it:
// a header whose record count disagrees with the whole records in the file
// (either way), a file cut in the middle of a record, records whose
// deletion flag is neither ' ' nor '*', and, for the reference and mapping
// tables (read in code page 866), text that reads like Windows-1251. The
// table layer reads such tables as it always has; these warnings tell the
// operator that the result rests on a damaged table.
#include <cstdint>
#include <string>
#include <vector>

namespace velt {

// What a dBase file's header and size say about its records.
struct TableFileShape {
  bool read = false;               // a header this layer reads
  std::uint64_t declared = 0;      // the header's record count
  std::uint64_t whole = 0;         // whole records in the file (an append cut short aside)
  bool cutInRecord = false;        // bytes of a record begun after the last whole one
  std::uint64_t damagedFlags = 0;  // of the records read (the fewer of the two counts)
};
TableFileShape ReadTableShape(const std::string& path);

// The warnings (1251) about a reference or mapping table called `name` at
// `path`; none for a sound table or a file that is no table (its open says
// why).
std::vector<std::string> ReferenceTableWarnings(const std::string& name, const std::string& path);

}  // namespace velt
