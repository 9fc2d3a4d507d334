#pragma once
// Small dBase tables for the reference tests (table_writer.h), in a fresh
// application folder (dirstrans/, indexes/, pavkdirs/).
#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "reference/reference_tables.h"
#include "support/error.h"
#include "support/platform.h"
#include "support/run_state.h"
#include "support/text.h"
#include "support_files/table_writer.h"
#include "support_files/temp_dir.h"
#include "table/table.h"

namespace velt::testing {

inline const std::vector<Column>& MappingColumns() {
  static const std::vector<Column> columns = {
      {"veltcode", "C", 5}, {"veltname", "C", 100}, {"pavk", "C", 100}};
  return columns;
}

// Every message shown to the user (1251), through Recorder().
struct RecordingMessages {
  std::vector<std::string> shown;
  std::function<void(const std::string&)> Recorder() {
    return [this](const std::string& text) { shown.push_back(text); };
  }
};

// A fresh application folder whose paths are in State(), with the tables of
// a run opened from it; the tables are released afterwards.
class AppFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DerivePaths(State(), dir_.Path(), "veltconv");
    for (const std::string* folder : {&State().mappingDirPath, &State().indexDirPath, &State().pavkDirPath}) {
      ASSERT_TRUE(platform::CreateDirectories(*folder));
    }
  }
  void TearDown() override { Tables().ReleaseAll(); }

  // The run's tables: the test's own, or those of a run session.
  virtual ReferenceTables& Tables() { return tables_; }
  // False, with the error among the messages, when the table does not open.
  bool OpenReferenceTable(const std::string& name) {
    try {
      Tables().Open(name);
      return true;
    } catch (const Error& error) {
      messages_.shown.push_back(error.what());
      return false;
    }
  }
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
  ReferenceTables tables_{State()};
};

}  // namespace velt::testing
