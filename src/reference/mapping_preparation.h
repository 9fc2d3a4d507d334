#pragma once
// Preparing a classifier mapping for the editor: its PAVK choices read, its
// mapping table created and seeded when missing, and the table opened
// exclusively. Start-up creates and seeds every missing mapping table,
// silently, so that each exists before anyone needs it.
#include <string>

#include "reference/mapping_files.h"
#include "table/table.h"

namespace velt {

struct PreparedMapping {
  PavkChoices pavk;
  std::string tablePath;
};

// Raises the engine's error on any failure; `dir` stays open exclusively on
// the kind's mapping table when it succeeds.
PreparedMapping PrepareMappingTable(int kind, Table& dir);

// The kinds in their order, each failure ignored; no table stays open.
void PrepareAllMappingTablesSilently();

}  // namespace velt
