#pragma once
// Small dBase tables for the tests, written through the table layer with OEM
// translation, as the program's own tables are.
#include <string>
#include <vector>

namespace velt::testing {

struct Column {
  std::string name;
  std::string type;  // "C", "N" or "D"
  int width;
  int decimals = 0;
};

// Windows-1251 text; numbers as their text, dates as dd.mm.yyyy; "" leaves
// the field blank.
using Row = std::vector<std::string>;

// A new table at `path` with these fields and records (a row may give fewer
// values than there are fields).
void WriteTable(const std::string& path, const std::vector<Column>& columns, const std::vector<Row>& rows);

}  // namespace velt::testing
