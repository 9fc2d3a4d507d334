#include "reference/reference_tables.h"

#include <gtest/gtest.h>

#include "reference/test_tables.h"
#include "support/code_page.h"
#include "support/error.h"
#include "support/platform.h"

namespace velt {
namespace {

using testing::A;
using testing::Column;
using testing::MappingColumns;
using testing::Row;
using testing::WriteTable;

const char kNotRecoded[] =
    "Не выполнена перекодировка классификаторов. Выполните ее согласно инструкции к программе";

class ReferenceTablesTest : public testing::AppFolderTest {
 protected:
  void WriteMapping(const std::string& name, const std::vector<Row>& rows) {
    WriteTable(MappingFile(name + ".dbf"), MappingColumns(), rows);
  }

  // Every one of the twelve tables, with a row or two each.
  void WriteAllTables() {
    for (const char* name : {"tr_from", "tr_reas", "tr_reas1", "tr_rslt", "tr_vid", "tr_trag"}) {
      WriteMapping(name, {{"1", A("Один"), A("3 - Три")}});
    }
    WriteMapping("tr_lpu", {{"", A("ГКБ 1"), A("31 - Больница")}});
    const std::vector<Column> places = {{"NAME", "C", 40}, {"CODE", "C", 17}, {"SOCR", "C", 10}};
    // Installations copied from Windows carry names in any letter case.
    WriteTable(PavkFile("CITY.DBF"), places, {{A("Челябинск"), "74000001000", A("г")}});
    WriteTable(PavkFile("street.dbf"), places, {{A("Ленина"), "74000001000012300", A("ул")}});
    WriteTable(PavkFile("f002.dbf"), {{"SMOCOD", "C", 5}, {"TF_OKATO", "C", 5}}, {{"74001", "75000"}});
    WriteTable(PavkFile("tarif.dbf"),
               {{"COD_SPEC", "N", 4},
                {"CATEGORY", "N", 1},
                {"PLACE", "N", 2},
                {"PURPOSE", "C", 2},
                {"TARIF", "N", 10, 2}},
               {{"501", "2", "20", "03", "1500.50"},
                {"502", "2", "30", "03", "1600"},
                {"503", "2", "20", "04", "1700"},
                {"504", "1", "30", "03", "1800"},
                {"504", "1", "20", "03", "1900"}});
    WriteTable(PavkFile("lpu.dbf"), {{"NPP", "N", 4}, {"CATEGORY", "N", 1}, {"ADRESS", "C", 100}},
               {{"7", "2", A("Челябинск, Ленина, 5")}});
  }

  int Recode(Lookup slot, const std::string& key) { return RecodeValue(key, Slot(slot)); }
};

TEST_F(ReferenceTablesTest, CodeIsReadFromBeforeTheFirstHyphen) {
  WriteMapping("tr_rslt", {{"1", "", A("12 - Травма")},
                           {"2", "", A("12- x")},
                           {"3", "", A("Вызов")},
                           {"4", "", ""},
                           {"5", "", A("-5 - минус")},
                           {"6", "", A(" 9 - x")},
                           {"7", "", A("1 2 - x")}});
  ASSERT_TRUE(OpenReferenceTable("tr_rslt"));
  const int expected[] = {12, 1, 0, 0, 0, 9, 0};  // "12- x" loses the "2" as it would the blank
  for (int key = 1; key <= 7; ++key)
    EXPECT_EQ(Recode(Lookup::tr_rslt, std::to_string(key)), expected[key - 1]) << key;
  EXPECT_EQ(Recode(Lookup::tr_rslt, "10"), 0);  // unknown key
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(ReferenceTablesTest, OnlyTheExactKeyCountsAndTheLastOfEqualKeysWins) {
  WriteMapping("tr_reas", {{"1", "", A("1 - один")},
                           {"10", "", A("10 - десять")},
                           {"100", "", A("100 - сто")},
                           {"A", "", A("5 - первая")},
                           {"B", "", A("6 - b")},
                           {"A", "", A("8 - вторая")},
                           {"a", "", A("9 - строчная")},
                           {"C", "", A("4 - c")},
                           {"C", "", ""}});
  ASSERT_TRUE(OpenReferenceTable("tr_reas"));
  EXPECT_EQ(Recode(Lookup::tr_reas, "1"), 1);
  EXPECT_EQ(Recode(Lookup::tr_reas, "10"), 10);
  EXPECT_EQ(Recode(Lookup::tr_reas, "100"), 100);
  EXPECT_EQ(Recode(Lookup::tr_reas, "1 "), 0);  // in the scope, but not the same text
  EXPECT_EQ(Recode(Lookup::tr_reas, "A"), 8);
  EXPECT_EQ(Recode(Lookup::tr_reas, "a"), 9);
  EXPECT_EQ(Recode(Lookup::tr_reas, "C"), 0);  // the last match has no PAVK value
  EXPECT_EQ(Recode(Lookup::tr_reas, ""), 0);
}

TEST_F(ReferenceTablesTest, InstitutionsAreMatchedByNameOtherMappingsByCode) {
  const std::vector<Row> rows = {{"K1", A("ГКБ 1"), A("31 - Больница 1")},
                                 {"K2", A("ГКБ 2"), A("32 - Больница 2")}};
  WriteMapping("tr_lpu", rows);
  WriteMapping("tr_from", rows);
  ASSERT_TRUE(OpenReferenceTable("tr_lpu"));
  ASSERT_TRUE(OpenReferenceTable("tr_from"));
  // Alternating tables must not mix up their key fields.
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(Recode(Lookup::tr_lpu, A("ГКБ 2")), 32);
    EXPECT_EQ(Recode(Lookup::tr_lpu, "K2"), 0);
    EXPECT_EQ(Recode(Lookup::tr_lpu, A("гкб 2")), 0);
    EXPECT_EQ(Recode(Lookup::tr_from, "K1"), 31);
    EXPECT_EQ(Recode(Lookup::tr_from, A("ГКБ 1")), 0);
  }
}

TEST_F(ReferenceTablesTest, EachRunSeesTheMappingAsItIsThen) {
  WriteMapping("tr_vid", {{"1", "", A("2 - старый")}});
  ASSERT_TRUE(OpenReferenceTable("tr_vid"));
  EXPECT_EQ(Recode(Lookup::tr_vid, "1"), 2);
  tables_.ReleaseAll();
  EXPECT_EQ(tables_.Get(Lookup::tr_vid), nullptr);

  platform::RemoveFile(MappingFile("tr_vid.dbf"));
  WriteMapping("tr_vid", {{"0", "", ""}, {"1", "", A("4 - новый")}});
  ASSERT_TRUE(OpenReferenceTable("tr_vid"));
  EXPECT_EQ(Recode(Lookup::tr_vid, "1"), 4);
}

TEST_F(ReferenceTablesTest, AllTwelveTablesOpenWithTheirIndexes) {
  WriteAllTables();
  for (int i = 0; i < kLookupCount; ++i) {
    const char* name = LookupName(static_cast<Lookup>(i));
    ASSERT_TRUE(OpenReferenceTable(name)) << name;
    EXPECT_TRUE(platform::FileExists(IndexFile(std::string(name) + ".ntx"))) << name;
  }
  EXPECT_TRUE(messages_.shown.empty());

  Table& city = Slot(Lookup::city);
  city.SetScope(A("ЧЕЛЯБИНСК"), A("ЧЕЛЯБИНСК"));
  ASSERT_EQ(city.Count(), 1);
  EXPECT_EQ(city.FieldByName("CODE").AsString(), "74000001000");

  Table& f002 = Slot(Lookup::f002);
  f002.SetScope("74001", "74001");
  ASSERT_EQ(f002.Count(), 1);
  EXPECT_EQ(f002.FieldByName("TF_OKATO").AsString(), "75000");

  Table& lpu = Slot(Lookup::lpu);
  lpu.SetScope("   7", "   7");
  ASSERT_EQ(lpu.Count(), 1);
  EXPECT_EQ(lpu.FieldByName("CATEGORY").AsInteger(), 2);

  EXPECT_EQ(Recode(Lookup::tr_lpu, A("ГКБ 1")), 31);
  EXPECT_EQ(Recode(Lookup::tr_trag, "1"), 3);

  tables_.ReleaseAll();
  for (int i = 0; i < kLookupCount; ++i) EXPECT_EQ(tables_.Get(static_cast<Lookup>(i)), nullptr);
}

TEST_F(ReferenceTablesTest, EveryMissingTableIsNamedAtOnceWithWhatItIsFor) {
  WriteAllTables();
  EXPECT_EQ(MissingTables(State()), "");
  ASSERT_TRUE(platform::RemoveFile(PavkFile("street.dbf")));
  ASSERT_TRUE(platform::RemoveFile(MappingFile("tr_vid.dbf")));
  try {
    tables_.OpenAll();
    FAIL() << "opened without two tables";
  } catch (const Error& error) {
    const std::string text = error.what();
    EXPECT_EQ(text.rfind(A(kNotRecoded) + "\n", 0), 0u) << text;
    EXPECT_NE(text.find(A("tr_vid.dbf: не найден; связки видов вызова")), std::string::npos) << text;
    EXPECT_NE(text.find(A("street.dbf: не найден; справочник улиц")), std::string::npos) << text;
  }
  // Nothing was opened by halves.
  for (int i = 0; i < kLookupCount; ++i) EXPECT_EQ(tables_.Get(static_cast<Lookup>(i)), nullptr);
}

TEST_F(ReferenceTablesTest, TariffsOutsideEmergencyCallsAreNeverFound) {
  WriteAllTables();
  ASSERT_TRUE(OpenReferenceTable("tarif"));
  Table& tarif = Slot(Lookup::tarif);
  auto count = [&](const std::string& key) {
    tarif.SetScope(key, key);
    return tarif.Count();
  };
  EXPECT_EQ(count(" 5012"), 1);
  EXPECT_EQ(tarif.FieldByName("TARIF").AsString(), "1500.5");
  EXPECT_EQ(count(" 5022"), 0);  // place 30
  EXPECT_EQ(count(" 5032"), 0);  // purpose 04
  EXPECT_EQ(count(" 5041"), 1);  // its place-30 twin stays out
  EXPECT_EQ(tarif.FieldByName("TARIF").AsString(), "1900");
  tarif.CancelScope();
  EXPECT_EQ(tarif.Count(), 2);
}

TEST_F(ReferenceTablesTest, FailureIsReportedOnceAndLeavesTheSlotEmpty) {
  WriteAllTables();
  ASSERT_TRUE(OpenReferenceTable("tr_from"));
  platform::RemoveFile(MappingFile("tr_vid.dbf"));
  EXPECT_FALSE(OpenReferenceTable("tr_vid"));
  ASSERT_EQ(messages_.shown.size(), 1u);
  // The system's text, then the file at fault and why (its path as the
  // operator would type it: the separator after the folder once).
  EXPECT_EQ(messages_.shown[0], A(kNotRecoded) + "\n" + A("Файл ") + dir_.Path() + "dirstrans" +
                                    platform::PathSeparator() + "tr_vid.dbf" + A(": не найден."));
  EXPECT_EQ(tables_.Get(Lookup::tr_vid), nullptr);

  // tr_from replaced by a table without its key field: the table of the last
  // run must not stay in the slot.
  platform::RemoveFile(MappingFile("tr_from.dbf"));
  WriteTable(MappingFile("tr_from.dbf"), {{"code", "C", 5}, {"pavk", "C", 100}}, {{"1", A("2 - x")}});
  EXPECT_FALSE(OpenReferenceTable("tr_from"));
  EXPECT_EQ(tables_.Get(Lookup::tr_from), nullptr);
  // A tarif without PLACE cannot evaluate its condition.
  WriteTable(PavkFile("tarif.dbf"), {{"COD_SPEC", "N", 4}, {"CATEGORY", "N", 1}}, {{"501", "2"}});
  EXPECT_FALSE(OpenReferenceTable("tarif"));
  EXPECT_EQ(messages_.shown.size(), 3u);
}

}  // namespace
}  // namespace velt
