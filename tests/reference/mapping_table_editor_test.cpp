// The editing of a mapping table that the editor's grid and the import
// share: what reaches the file, and when.
#include "reference/mapping_table_editor.h"

#include <gtest/gtest.h>

#include <cstring>

#include "reference/test_tables.h"

namespace velt::testing {
namespace {

class MappingTableEditorTest : public AppFolderTest {
 protected:
  void SetUp() override {
    AppFolderTest::SetUp();
    path_ = MappingFile("tr_rslt.dbf");
    WriteTable(path_, MappingColumns(), {{"1", "first", "301 - a"}, {"2", "second", ""}, {"3", "third", ""}});
    table_.SetOEMTranslate(true);
    table_.SetTableName(path_);
    table_.SetExclusive(true);
    table_.Open();
    editor_.Load();
  }
  void TearDown() override {
    table_.Close();
    AppFolderTest::TearDown();
  }
  std::string File() const {
    std::string bytes;
    platform::ReadWholeFile(path_, bytes);
    return bytes;
  }
  // The record count of the file's header.
  std::uint32_t Records() const {
    std::uint32_t count = 0;
    std::memcpy(&count, File().data() + 4, sizeof count);
    return count;
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const MappingRow& row : editor_.Rows()) names.push_back(row.name);
    return names;
  }

  std::string path_;
  Table table_{"Dir"};
  MappingTableEditor editor_{table_};
};

TEST_F(MappingTableEditorTest, AnEditReachesTheFileWhenPostedOrWhenAnotherRowIsEdited) {
  EXPECT_FALSE(editor_.SetCell(0, MappingTableEditor::kNameColumn, "first"));  // no change
  EXPECT_EQ(editor_.PendingRow(), -1);
  EXPECT_TRUE(editor_.SetCell(0, MappingTableEditor::kNameColumn, "renamed"));
  EXPECT_EQ(editor_.PendingRow(), 0);
  EXPECT_EQ(File().find("renamed"), std::string::npos);
  // Editing row 1 writes row 0.
  EXPECT_TRUE(editor_.SetCell(1, MappingTableEditor::kPavkColumn, "302 - b"));
  EXPECT_NE(File().find("renamed"), std::string::npos);
  EXPECT_EQ(editor_.PendingRow(), 1);
  // A dropped change shows the file's record again.
  EXPECT_EQ(editor_.Cancel(), 1);
  EXPECT_EQ(editor_.Cell(1, MappingTableEditor::kPavkColumn), "");
  EXPECT_EQ(File().find("302 - b"), std::string::npos);
  // Text longer than its field is what the field keeps.
  EXPECT_TRUE(editor_.SetCell(2, MappingTableEditor::kCodeColumn, "1234567"));
  EXPECT_EQ(editor_.Cell(2, MappingTableEditor::kCodeColumn), "12345");
  EXPECT_EQ(editor_.Post(), 2);
  EXPECT_EQ(editor_.Post(), -1);
  editor_.Load();
  EXPECT_EQ(editor_.Cell(2, MappingTableEditor::kCodeColumn), "12345");
  EXPECT_EQ(editor_.Cell(0, MappingTableEditor::kNameColumn), "renamed");
}

TEST_F(MappingTableEditorTest, NewRecordsAreStoredAtOnceAndDeletingPacks) {
  EXPECT_TRUE(editor_.SetCell(0, MappingTableEditor::kNameColumn, "pending"));
  EXPECT_EQ(editor_.InsertBlank(), 3);  // writes the pending row first
  EXPECT_NE(File().find("pending"), std::string::npos);
  EXPECT_EQ(Records(), 4u);
  EXPECT_EQ(editor_.Append("9", "ninth", "301 - a"), 4);
  EXPECT_EQ(Records(), 5u);
  EXPECT_EQ(editor_.Rows()[4].recNo, 5);

  // A change to the record being deleted goes with it; the rest renumber.
  EXPECT_TRUE(editor_.SetCell(1, MappingTableEditor::kNameColumn, "doomed"));
  editor_.DeleteAndPack(1);
  EXPECT_EQ(Names(), (std::vector<std::string>{"pending", "third", "", "ninth"}));
  EXPECT_EQ(editor_.Rows()[3].recNo, 4);
  EXPECT_EQ(Records(), 4u);
  EXPECT_EQ(File().find("doomed"), std::string::npos);
  // No row to delete: the table is still packed.
  editor_.DeleteAndPack(-1);
  EXPECT_EQ(editor_.RowCount(), 4);
}

}  // namespace
}  // namespace velt::testing
