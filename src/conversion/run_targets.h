#pragma once
// What a conversion of some archives reads and writes, gathered before the
// first run starts so that the write-target rule (write_target.h) sees all
// of it: the archives, their output tables, the reference and mapping
// tables, the index files and the event log.
#include <optional>
#include <string>
#include <vector>

#include "support/write_target.h"

namespace velt {

// The output tables of an archive in `outputDir`: "t" and "te" + its file
// name, joined as the run joins them.
std::string NativesTablePath(const std::string& outputDir, const std::string& archive);
std::string ExternalsTablePath(const std::string& outputDir, const std::string& archive);

// Paths are 1251, the program folder's from the run state.
void AddRunFiles(WriteTargets& targets, const std::vector<std::string>& archives,
                 const std::string& outputDir);

// Two entries of the list that name one file, however spelt: the two lines
// that refuse the call, naming both; nothing when every archive is its own.
std::optional<std::string> RepeatedArchive(const std::vector<std::string>& archives);

}  // namespace velt
