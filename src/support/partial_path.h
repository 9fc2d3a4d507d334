#pragma once
// The name under which a run or a join writes a table until it is whole:
// renamed into place only then, so that an earlier table of that name
// survives a cancel, an error or a kill.
#include <string>

namespace velt {

inline std::string PartialPath(const std::string& path) { return path + ".partial"; }

}  // namespace velt
