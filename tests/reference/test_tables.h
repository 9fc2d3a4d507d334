#pragma once
// Small dBase tables for the reference tests, written through the table
// layer with OEM translation as the program's own tables are, in a fresh
// application folder (dirstrans/, indexes/, pavkdirs/).
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "reference/reference_tables.h"
#include "support/platform.h"
#include "support/run_state.h"
#include "support/text.h"
#include "support/user_messages.h"
#include "support_files/temp_dir.h"
#include "table/table.h"

namespace velt::testing {

struct Column {
  std::string name;
  std::string type;  // "C", "N" or "D"
  int width;
  int decimals = 0;
};

using Row = std::vector<std::string>;  // numbers written as their text

inline void WriteTable(const std::string& path, const std::vector<Column>& columns,
                       const std::vector<Row>& rows) {
  Table table;
  table.SetOEMTranslate(true);
  ASSERT_TRUE(table.CreateNew(path, 2, static_cast<int>(columns.size())));
  for (const Column& c : columns) table.CreateField(c.name, c.type, c.width, c.decimals);
  ASSERT_NE(table.CreateExec(), 0);
  table.SetTableName(path);
  table.Open();
  for (const Row& row : rows) {
    table.Append();
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (columns[i].type == "N" && columns[i].decimals == 0) {
        table.SetInteger(static_cast<int>(i), StrToIntDef(row[i], 0));
      } else if (columns[i].type == "N") {
        table.SetFloat(static_cast<int>(i), std::stod(row[i]));
      } else {
        table.SetString(static_cast<int>(i), row[i]);
      }
    }
    table.Post();
  }
  table.Close();
}

inline const std::vector<Column>& MappingColumns() {
  static const std::vector<Column> columns = {
      {"veltcode", "C", 5}, {"veltname", "C", 100}, {"pavk", "C", 100}};
  return columns;
}

// Records every message shown to the user.
class RecordingMessages : public UserMessages {
 public:
  void ShowMessage(const std::string& text) override { shown.push_back(text); }
  std::vector<std::string> shown;
};

// A fresh application folder whose paths are in State(), with the tables of
// a run opened from it; the tables are released and the message receiver
// restored afterwards.
class AppFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DerivePaths(State(), dir_.Path(), "veltconv");
    for (const std::string* folder : {&State().mappingDirPath, &State().indexDirPath, &State().pavkDirPath}) {
      ASSERT_TRUE(platform::CreateDirectories(*folder));
    }
    SetMessages(&messages_);
  }
  void TearDown() override {
    Tables().ReleaseAll();
    SetMessages(nullptr);
  }

  // The run's tables: the test's own, or those of a run session.
  virtual ReferenceTables& Tables() { return tables_; }
  bool OpenReferenceTable(const std::string& name) { return Tables().Open(name); }
  Table& Slot(Lookup slot) {
    Table* table = Tables().Get(slot);
    EXPECT_NE(table, nullptr) << LookupName(slot);
    return *table;
  }

  std::string MappingFile(const std::string& name) const { return In(State().mappingDirPath, name); }
  std::string PavkFile(const std::string& name) const { return In(State().pavkDirPath, name); }
  std::string IndexFile(const std::string& name) const { return In(State().indexDirPath, name); }
  static std::string In(const std::string& folder, const std::string& name) {
    return folder + platform::PathSeparator() + name;
  }

  TempDir dir_;
  RecordingMessages messages_;
  ReferenceTables tables_;
};

}  // namespace velt::testing
