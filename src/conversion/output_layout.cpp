#include "conversion/output_layout.h"

namespace velt {

void CreateOutputTable(Table& table, const std::string& path) {
  // Held alone from the moment the file exists to the run's end, so that no
  // other run or program takes it over meanwhile.
  if (!table.Active()) table.SetExclusive(true);
  table.CreateNew(path, 2, kOutputFieldCount);
  for (const OutputField& field : kOutputLayout)
    table.CreateField(field.name, std::string(1, field.type), field.width, field.decimals);
  table.CreateExec();
  table.SetTableName(path);
  table.Open();
}

}  // namespace velt
