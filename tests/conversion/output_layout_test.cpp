// The output table belongs to its run from the moment it exists: a table
// that another open holds (a second run, another program) is never replaced,
// so its holder keeps writing into the file that bears the name.
#include "conversion/output_layout.h"

#include <gtest/gtest.h>

#include <string>

#include "support/error.h"
#include "support/platform.h"
#include "support_files/temp_dir.h"

namespace velt::testing {
namespace {

std::string CreationError(Table& table, const std::string& path) {
  try {
    CreateOutputTable(table, path);
  } catch (const Error& error) {
    return error.what();
  }
  return "created";
}

void AppendCall(Table& table, const char* family) {
  table.Append();
  table.SetString(static_cast<int>(Out::FAMILY), A(family));
  table.Post();
}

TEST(OutputTableTest, ATableThatAnOpenHoldsIsNeitherReplacedNorTakenOver) {
  TempDir dir;
  const std::string path = dir.File("tF1232401.DBF");
  const std::string held = "Unable to open table: " + path + "\n" +
                           A("Файл занят другой программой или другим запуском конвертации и не заменён.");
  Table first("OutNatives"), second("OutNatives");
  first.SetOEMTranslate(true);
  second.SetOEMTranslate(true);
  CreateOutputTable(first, path);
  AppendCall(first, "ИВАНОВ");
  // A second run into the same folder fails while the first one goes on.
  EXPECT_EQ(CreationError(second, path), held);
  AppendCall(first, "ПЕТРОВ");
  Table reader;
  reader.SetOEMTranslate(true);
  reader.SetTableName(path);
  EXPECT_THROW(reader.Open(), Error);  // held alone
  first.Close();

  // Another program reading the finished table keeps it as it is.
  reader.Open();
  std::string before;
  ASSERT_TRUE(platform::ReadWholeFile(path, before));
  EXPECT_EQ(CreationError(second, path), held);
  std::string after;
  ASSERT_TRUE(platform::ReadWholeFile(path, after));
  EXPECT_EQ(after, before);
  EXPECT_EQ(reader.PhysicalCount(), 2);
  reader.First();
  EXPECT_EQ(reader.FieldByName("FAMILY").AsString(), A("ИВАНОВ"));
  reader.Close();

  // Let go, it is replaced by a new empty table.
  EXPECT_EQ(CreationError(second, path), "created");
  EXPECT_EQ(second.PhysicalCount(), 0);
  EXPECT_FALSE(platform::FileExists(path + ".new~"));
}

}  // namespace
}  // namespace velt::testing
