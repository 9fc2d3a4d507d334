#pragma once
// The fixed 98-field layout of the intermediate tables that the receiving
// system loads, and the creation of an empty table of that layout.
#include <array>
#include <string>

#include "table/table.h"

namespace velt {

struct OutputField {
  const char* name;
  char type;
  int width;
  int decimals;
};

inline constexpr int kOutputFieldCount = 98;
inline constexpr int kOutputRecordLength = 1236;  // deletion flag + 1235 bytes of fields

extern const std::array<OutputField, kOutputFieldCount> kOutputLayout;

// Creates a new empty table of the layout at path (an existing file is
// replaced) and opens it in `table`. False when the creation failed; an
// error while opening the new file is raised to the caller.
bool CreateOutputTable(Table& table, const std::string& path);

}  // namespace velt
