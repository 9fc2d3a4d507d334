#pragma once
// The seven classifier mapping tables, the supplied PAVK_VALUES.dbf (PAVK
// codes per classifier) and VELT_DEFCODES.DBF (VELT codes per classifier).
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "table/table.h"

namespace velt {

// The mapping kinds, in the order in which they are handled together.
inline constexpr std::array<int, 7> kMappingKinds = {1, 11, 2, 3, 4, 5, 6};

// File name of a kind's mapping table ("tr_reas.dbf", ...); "" for an unknown kind.
std::string MappingTableName(int kind);
// Path of a kind's mapping table in MappingDirPath, whether it exists or not.
std::string MappingTablePath(int kind);

struct PavkChoices {
  std::vector<std::string> choices;           // PAVK_CODE + " - " + PAVK_NAME
  std::optional<std::string> classifierName;  // DIRNAME, absent when no row matched
};

// Reads the kind's PAVK choices through `table` and leaves it closed.
PavkChoices LoadPavkChoices(int kind, Table& table);

// Creates and seeds the kind's mapping table when its file is missing;
// returns its path. Leaves `table` closed.
std::string EnsureMappingTable(int kind, Table& table);

}  // namespace velt
