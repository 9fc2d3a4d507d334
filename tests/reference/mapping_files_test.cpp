#include "reference/mapping_files.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "reference/reference_tables.h"
#include "reference/test_tables.h"
#include "support/code_page.h"
#include "support/error.h"

namespace velt {
namespace {

using testing::A;
using testing::Column;
using testing::Row;
using testing::WriteTable;

class MappingFilesTest : public testing::AppFolderTest {
 protected:
  void WritePavkValues(const std::vector<Row>& rows) {
    WriteTable(MappingFile("PAVK_VALUES.dbf"),
               {{"DIR_ID", "N", 2}, {"PAVK_CODE", "C", 5}, {"PAVK_NAME", "C", 100}, {"DIRNAME", "C", 100}},
               rows);
  }
  void WriteDefaultCodes(const std::string& fileName, const std::vector<Row>& rows) {
    WriteTable(MappingFile(fileName), {{"DIR_ID", "N", 2}, {"VELTCODE", "C", 5}, {"VELTNAME", "C", 100}},
               rows);
  }

  // The rows of a mapping table as "code|name|pavk".
  std::vector<std::string> Rows(const std::string& path) {
    Table table;
    table.SetOEMTranslate(true);
    table.SetTableName(path);
    table.Open();
    std::vector<std::string> rows;
    for (table.First(); !table.Eof(); table.Next()) {
      rows.push_back(table.FieldByName("VELTCODE").AsString() + "|" +
                     table.FieldByName("VELTNAME").AsString() + "|" + table.FieldByName("PAVK").AsString());
    }
    return rows;
  }

  Table table_{"DirTable"};
};

TEST_F(MappingFilesTest, PavkChoicesOfAKind) {
  WritePavkValues({{"1", "1", A("Травма"), A("Повод к вызову")},
                   {"2", "5", A("Улица"), A("Место вызова")},
                   {"1", "99", A("Прочее"), A("Повод к вызову")},
                   {"1", "199", A("Иное"), A("Повод к вызову")},
                   {"1", "990", A("Другое"), A("Повод к вызову")},
                   {"11", "2", A("Чужой"), A("Не тот")},
                   {"1", "9", A("Боль"), A("Повод к вызову")}});

  PavkChoices reasons = LoadPavkChoices(1, table_);
  EXPECT_EQ(reasons.choices, (std::vector<std::string>{A("1 - Травма"), A("99 - Прочее"), A("199 - Иное"),
                                                       A("990 - Другое"), A("9 - Боль")}));
  EXPECT_EQ(reasons.classifierName, A("Повод к вызову"));
  EXPECT_FALSE(table_.Active());

  // The accident-cause reasons take kind 1's list without the codes holding 99.
  PavkChoices accidentReasons = LoadPavkChoices(11, table_);
  EXPECT_EQ(accidentReasons.choices, (std::vector<std::string>{A("1 - Травма"), A("9 - Боль")}));
  EXPECT_EQ(accidentReasons.classifierName, A("Повод к вызову"));

  PavkChoices places = LoadPavkChoices(2, table_);
  EXPECT_EQ(places.choices, std::vector<std::string>{A("5 - Улица")});
  EXPECT_EQ(places.classifierName, A("Место вызова"));

  PavkChoices none = LoadPavkChoices(3, table_);
  EXPECT_TRUE(none.choices.empty());
  EXPECT_FALSE(none.classifierName.has_value());
  EXPECT_FALSE(table_.Active());

  platform::RemoveFile(MappingFile("PAVK_VALUES.dbf"));
  EXPECT_THROW(LoadPavkChoices(1, table_), Error);
  EXPECT_FALSE(table_.Active());
}

TEST_F(MappingFilesTest, MissingTablesAreCreatedAndSeededPerKind) {
  // The supplied file may carry its name in any letter case.
  WriteDefaultCodes("velt_defcodes.dbf", {{"1", "01", A("Травма")},
                                          {"11", "A", A("Падение")},
                                          {"1", "02", A("Боль в груди")},
                                          {"2", "1", A("Улица")},
                                          {"5", "", A("ГКБ 1")}});
  const std::string reasons = EnsureMappingTable(1, table_);
  EXPECT_EQ(reasons, MappingFile("tr_reas.dbf"));
  EXPECT_FALSE(table_.Active());
  EXPECT_EQ(Rows(reasons), (std::vector<std::string>{A("01|Травма|"), A("02|Боль в груди|")}));
  EXPECT_TRUE(platform::FileExists(IndexFile("VELT_DEFCODES.ntx")));

  EXPECT_EQ(Rows(EnsureMappingTable(11, table_)), std::vector<std::string>{A("A|Падение|")});
  EXPECT_EQ(Rows(EnsureMappingTable(5, table_)), std::vector<std::string>{A("|ГКБ 1|")});
  const std::string results = EnsureMappingTable(3, table_);
  EXPECT_EQ(results, MappingFile("tr_rslt.dbf"));
  EXPECT_TRUE(Rows(results).empty());

  // The layout the editor and the conversion expect.
  Table created;
  created.SetTableName(reasons);
  created.Open();
  std::string layout;
  for (const FieldInfo& field : created.Fields())
    layout += field.name + field.type + std::to_string(field.width) + " ";
  EXPECT_EQ(layout, "VELTCODEC5 VELTNAMEC100 PAVKC100 ");
  created.Close();

  // A freshly seeded value recodes to 0 until the user maps it.
  ASSERT_TRUE(OpenReferenceTable("tr_reas"));
  EXPECT_EQ(RecodeValue("01", *tables_.Get(Lookup::tr_reas)), 0);
}

TEST_F(MappingFilesTest, ExistingTablesAreNeverChanged) {
  WriteDefaultCodes("VELT_DEFCODES.DBF", {{"2", "1", A("Улица")}, {"4", "1", A("Первичный")}});
  // An empty table of another layout, and one whose name differs in case.
  WriteTable(MappingFile("tr_from.dbf"), {{"x", "C", 3}}, {});
  WriteTable(MappingFile("TR_VID.DBF"), testing::MappingColumns(), {{"7", "", A("1 - ok")}});
  std::string before;
  ASSERT_TRUE(platform::ReadWholeFile(MappingFile("tr_from.dbf"), before));

  EXPECT_EQ(EnsureMappingTable(2, table_), MappingFile("tr_from.dbf"));
  std::string after;
  ASSERT_TRUE(platform::ReadWholeFile(MappingFile("tr_from.dbf"), after));
  EXPECT_EQ(after, before);

  EXPECT_EQ(EnsureMappingTable(4, table_), MappingFile("TR_VID.DBF"));
  // No twin beside it in other letter case (where the file system tells them apart).
  int named = 0;
  for (const auto& entry : std::filesystem::directory_iterator(State().mappingDirPath))
    named += UpperCase(entry.path().filename().string()) == "TR_VID.DBF";
  EXPECT_EQ(named, 1);
  EXPECT_EQ(Rows(MappingFile("TR_VID.DBF")), std::vector<std::string>{A("7||1 - ok")});
}

TEST_F(MappingFilesTest, TableCreatedWithoutDefaultCodesStaysEmpty) {
  EXPECT_THROW(EnsureMappingTable(6, table_), Error);
  EXPECT_FALSE(table_.Active());
  const std::string path = MappingFile("tr_trag.dbf");
  ASSERT_TRUE(platform::FileExists(path));
  EXPECT_TRUE(Rows(path).empty());

  // The codes arriving later never reach the table that now exists.
  WriteDefaultCodes("VELT_DEFCODES.DBF", {{"6", "1", A("Падение")}});
  EXPECT_EQ(EnsureMappingTable(6, table_), path);
  EXPECT_TRUE(Rows(path).empty());
}

}  // namespace
}  // namespace velt
