#pragma once
// One archive record and one pending output record for the tests of the
// field groups, with the reference and mapping tables they look codes up in,
// all written through the table layer into a fresh application folder.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "conversion/output_layout.h"
#include "conversion/record_context.h"
#include "conversion/run_session.h"
#include "reference/reference_tables.h"
#include "reference/test_tables.h"
#include "support/date_time.h"

namespace velt::testing {

// A field of a test table and its value as text ("" leaves it blank; a date
// is written dd.mm.yyyy).
struct Cell {
  std::string name;
  std::string value;
  std::string type = "C";
  int width = 20;
  int decimals = 0;
};
using TableRow = std::vector<Cell>;

inline DateTime Day(int year, int month, int day) {
  DateTime value = 0;
  EXPECT_TRUE(TryEncodeDate(year, month, day, value));
  return value;
}

inline DateTime At(DateTime day, int hour, int minute) {
  DateTime time = 0;
  EXPECT_TRUE(TryEncodeTime(hour, minute, 0, 0, time));
  return day + time;
}

// Writes a table whose fields are those of the first row.
inline void WriteRows(const std::string& path, const std::vector<TableRow>& rows) {
  ASSERT_FALSE(rows.empty());
  std::vector<Column> columns;
  for (const Cell& c : rows[0]) columns.push_back({c.name, c.type, c.width, c.decimals});
  std::vector<Row> values;
  for (const TableRow& row : rows) {
    Row& value = values.emplace_back();
    for (const Cell& c : row) value.push_back(c.value);
  }
  WriteTable(path, columns, values);
}

// A guarded field group failed: it returned false or raised an Error.
template <typename Group>
bool Failed(Group&& group) {
  try {
    return !group();
  } catch (const Error&) {
    return true;
  }
}

class RecordTest : public AppFolderTest {
 protected:
  void SetUp() override {
    AppFolderTest::SetUp();
    session_.stationCode = 101;
    session_.inputFileName = "F1011703.DBF";
    // The run's output tables store their text in code page 866.
    output_.SetOEMTranslate(true);
  }
  void TearDown() override {
    ctx_.reset();
    input_.Close();
    output_.Close();
    AppFolderTest::TearDown();
  }
  ReferenceTables& Tables() override { return session_.tables; }

  // A one-record archive with these fields and a new pending output record;
  // the context over both replaces the previous one.
  RecordContext& Record(const TableRow& fields, bool native = true) {
    ctx_.reset();
    input_.Close();
    output_.Close();
    ++serial_;
    const std::string archive = dir_.File("A" + std::to_string(serial_) + ".DBF");
    WriteRows(archive, {fields});
    input_.SetOEMTranslate(true);
    input_.SetTableName(archive);
    input_.Open();
    input_.First();
    session_.archive.Resolve(input_);
    session_.archive.Load();
    CreateOutputTable(output_, dir_.File("t" + std::to_string(serial_) + ".dbf"));
    output_.Append();
    out_ = OutputRecord(output_.EditBuffer());
    ctx_ = std::make_unique<RecordContext>(session_, out_, native);
    return *ctx_;
  }

  // A mapping table from VELT codes to PAVK codes, opened for the run.
  void Mapping(const std::string& name, const std::vector<std::pair<std::string, int>>& codes) {
    std::vector<Row> rows;
    for (const auto& [velt, pavk] : codes) rows.push_back({velt, velt, std::to_string(pavk) + " - code"});
    WriteTable(MappingFile(name + ".dbf"), MappingColumns(), rows);
    ASSERT_TRUE(OpenReferenceTable(name));
  }

  // A reference table of the PAVK folder, opened for the run.
  void Reference(const std::string& name, const std::vector<TableRow>& rows) {
    WriteRows(PavkFile(name + ".dbf"), rows);
    ASSERT_TRUE(OpenReferenceTable(name));
  }

  std::string Text(Out field) const { return output_.AsString(static_cast<int>(field)); }
  // A blank number or date reads as "", a written 0 as "0".
  bool Blank(Out field) const { return Text(field).empty(); }

  RunSession session_{State()};
  Table input_{"VELTDBF"};
  Table output_{"OutNatives"};
  OutputRecord out_;
  std::unique_ptr<RecordContext> ctx_;
  int serial_ = 0;
};

}  // namespace velt::testing
