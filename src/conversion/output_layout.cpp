#include "conversion/output_layout.h"

namespace velt {

bool CreateOutputTable(Table& table, const std::string& path) {
  // Held alone from the moment the file exists to the run's end, so that no
  // other run or program takes it over meanwhile.
  if (!table.Active()) table.SetExclusive(true);
  if (!table.CreateNew(path, 2, kOutputFieldCount)) return false;
  for (const OutputField& field : kOutputLayout)
    table.CreateField(field.name, std::string(1, field.type), field.width, field.decimals);
  if (table.CreateExec() == 0) return false;
  table.SetTableName(path);
  table.Open();
  return true;
}

}  // namespace velt
