#include "support_files/table_writer.h"

#include <gtest/gtest.h>

#include "support/date_time.h"
#include "support/text.h"
#include "table/table.h"

namespace velt::testing {
namespace {

void SetValue(Table& table, int index, const Column& column, const std::string& value) {
  if (value.empty()) return;
  if (column.type == "N" && column.decimals == 0) {
    table.SetInteger(index, StrToIntDef(value, 0));
  } else if (column.type == "N") {
    table.SetFloat(index, std::stod(value));
  } else if (column.type == "D") {
    DateTime date = 0;
    ASSERT_TRUE(TryEncodeDate(std::stoi(value.substr(6, 4)), std::stoi(value.substr(3, 2)),
                              std::stoi(value.substr(0, 2)), date))
        << value;
    table.SetDateTime(index, date);
  } else {
    table.SetString(index, value);
  }
}

}  // namespace

void WriteTable(const std::string& path, const std::vector<Column>& columns, const std::vector<Row>& rows) {
  Table table;
  table.SetOEMTranslate(true);
  table.CreateNew(path, 2, static_cast<int>(columns.size()));
  for (const Column& c : columns) table.CreateField(c.name, c.type, c.width, c.decimals);
  table.CreateExec();
  table.SetTableName(path);
  table.Open();
  for (const Row& row : rows) {
    table.Append();
    for (std::size_t i = 0; i < row.size(); ++i) SetValue(table, static_cast<int>(i), columns[i], row[i]);
    table.Post();
  }
  table.Close();
}

}  // namespace velt::testing
