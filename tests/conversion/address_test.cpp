// Address resolution against small city, street, lpu and tr_lpu tables, and
// the address fields it leaves in an output record.
#include "conversion/address.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "conversion/output_layout.h"
#include "conversion/record_context.h"
#include "conversion/record_groups.h"
#include "conversion/run_session.h"
#include "conversion/street_directory.h"
#include "conversion/street_name.h"
#include "reference/reference_tables.h"
#include "support/code_page.h"
#include "support/platform.h"
#include "support/run_state.h"
#include "support/text.h"
#include "support_files/table_writer.h"
#include "support_files/temp_dir.h"
#include "table/table.h"

namespace velt {
namespace {

using testing::A;

using testing::Column;
using Row = std::vector<std::string>;  // UTF-8; numbers as text

void WriteTable(const std::string& path, const std::vector<Column>& columns, const std::vector<Row>& rows) {
  std::vector<testing::Row> ansi;
  for (const Row& row : rows) {
    testing::Row& converted = ansi.emplace_back();
    for (const std::string& value : row) converted.push_back(A(value.c_str()));
  }
  testing::WriteTable(path, columns, ansi);
}

// The address fields of one output record.
struct AddressFields {
  std::string cityStreet;
  int house = 0;
  std::string indHouse;
  int lpuFrom = 0;
  int room = 0;
  std::string indRoom;
  int codLpu = 0;
};

constexpr int kLpuFromBefore = 77;  // what an earlier group left in LPU_FROM

class AddressTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DerivePaths(State(), dir_.Path(), "veltconv");
    for (const std::string* folder : {&State().mappingDirPath, &State().indexDirPath, &State().pavkDirPath})
      ASSERT_TRUE(platform::CreateDirectories(*folder));
    const std::string pavk = State().pavkDirPath + "/";
    const std::string mapping = State().mappingDirPath + "/";
    // Equal names keep record order in the index, so the record that must
    // be passed over comes first.
    WriteTable(pavk + "city.dbf", {{"NAME", "C", 40}, {"SOCR", "C", 10}, {"CODE", "C", 13}},
               {{"Новоград", "г", "02000001000"},
                {"Новоград", "г", "74000001000"},
                {"Староград", "г", "02000002000"},
                {"Сосновка", "д", "74000003000"},
                {"Сосновка", "г", "74000005000"},
                {"Сосновка", "пгт", "74000004000"}});
    WriteTable(pavk + "street.dbf", {{"NAME", "C", 40}, {"SOCR", "C", 10}, {"CODE", "C", 17}},
               {{"Ленина", "ул", "02000001000000100"},
                {"Ленина", "пер", "74000001000000200"},
                {"Ленина", "ул", "74000001000000100"},
                {"Ленина", "ул", "02000002000000100"},
                {"Школьный", "пер", "74000001000000300"},
                {"Победы", "проспект", "74000001000000400"},
                {"Северная 1-я", "ул", "74000001000000500"},
                {"Садовая", "ул", "74000001000000600"},
                {"Лесная", "ул", "74000003000000100"},
                {"Лесная", "ул", "74000004000000100"},
                {"Лесная", "ул", "74000005000000100"}});
    WriteTable(pavk + "lpu.dbf", {{"NPP", "N", 4}, {"ADRESS", "C", 100}, {"CATEGORY", "N", 1}},
               {{"123", "г. Новоград, ул. Садовая, 70", "1"},
                {"124", "г. Новоград, ул. Ленина, 5/2", "1"},
                {"125", "Новоград", "1"}});
    WriteTable(mapping + "tr_lpu.dbf", {{"VELTCODE", "C", 5}, {"VELTNAME", "C", 100}, {"PAVK", "C", 100}},
               {{"", "=НОВОГРАД_*ГКБ 8", "123 - ГКБ 8"},
                {"", "=НОВОГРАД_+ГКБ 9", "124 - ГКБ 9"},
                {"", "=НОВОГРАД_*ГКБ 9", "123 - ГКБ 8"},
                {"", "=НОВОГРАД_+ГКБ 10", "555 - ГКБ 10"},
                {"", "=НОВОГРАД_+ФАП", "125 - ФАП"}});
    for (const char* name : {"city", "street", "lpu", "tr_lpu"}) session_.tables.Open(name);

    session_.stationCode = 672;
    CreateOutputTable(output_, dir_.File("tF6722401.DBF"));
  }

  void TearDown() override {
    output_.Close();
    session_.tables.ReleaseAll();
  }

  // Runs the address group on one archive record and posts the output record.
  AddressFields Convert(const char* city, const char* ulic, const char* dom, const char* kvar) {
    const std::string path = dir_.File("F6722401.DBF");
    WriteTable(path,
               {{"NGOD", "C", 10}, {"CITY", "C", 40}, {"ULIC", "C", 40}, {"DOM", "C", 10}, {"KVAR", "C", 10}},
               {{"1", city, ulic, dom, kvar}});
    Table input("VELTDBF");
    input.SetOEMTranslate(true);
    input.SetTableName(path);
    input.Open();
    input.First();
    session_.archive.Resolve(input);
    session_.archive.Load();
    output_.Append();
    OutputRecord out(output_.EditBuffer());
    RecordContext ctx(session_, out, true);
    out.Integer(Out::LPU_FROM, kLpuFromBefore);
    AddressGroup(ctx);
    auto text = [&](Out field) { return output_.AsString(static_cast<int>(field)); };
    auto number = [&](Out field) { return output_.AsInteger(static_cast<int>(field)); };
    AddressFields result{text(Out::CITYSTREET), number(Out::HOUSE), text(Out::IND_HOUSE),
                         number(Out::LPU_FROM), number(Out::ROOM),  text(Out::IND_ROOM),
                         number(Out::COD_LPU)};
    EXPECT_FALSE(out.OutOfBounds());  // every value fits its field
    output_.Post();
    return result;
  }

  AddressResult Resolve(const char* city, const char* street, const char* house = "1") {
    return ResolveAddress(session_, A(city), A(street), A(house));
  }

  testing::TempDir dir_;
  RunSession session_{State()};
  Table output_{"OutNatives"};
};

TEST_F(AddressTest, SettlementChoiceFollowsMarkerRegionAndType) {
  // Two НОВОГРАД: the home-region one, whatever the order.
  EXPECT_EQ(Resolve("=Новоград", "ул. Ленина").streetCode, "74000001000000100");
  // One СТАРОГРАД of another region is taken; its streets are not of the home
  // region, so the street stays unknown while the settlement is found.
  AddressResult other = Resolve("=Староград", "ул. Ленина", "3");
  EXPECT_TRUE(other.found);
  EXPECT_EQ(other.streetCode, "");
  EXPECT_EQ(other.house, "3");
  // "-ПОС" asks for a П or ПГТ settlement, "=" for a Г one.
  EXPECT_EQ(Resolve("-ПОС Сосновка", "Лесная").streetCode, "74000004000000100");
  EXPECT_EQ(Resolve("-Сосновка ПОС", "Лесная").streetCode, "74000004000000100");
  EXPECT_EQ(Resolve("=Сосновка", "Лесная").streetCode, "74000005000000100");
  // The settlement word must be typed in capitals; no marker, no settlement.
  EXPECT_FALSE(Resolve("-пос. Сосновка", "Лесная").found);
  EXPECT_FALSE(Resolve("Новоград", "Ленина").found);
  EXPECT_FALSE(Resolve("", "Ленина").found);
  EXPECT_FALSE(Resolve("=Нигдеград", "Ленина").found);
}

TEST_F(AddressTest, StreetTypeAndOrdinalSelectTheStreet) {
  EXPECT_EQ(Resolve("=Новоград", "ул. Ленина").streetCode, "74000001000000100");
  EXPECT_EQ(Resolve("=Новоград", "Ленина").streetCode, "74000001000000100");  // УЛ by default
  EXPECT_EQ(Resolve("=Новоград", "пер. Ленина").streetCode, "74000001000000200");
  EXPECT_EQ(Resolve("=Новоград", "пер. Школьный").streetCode, "74000001000000300");
  EXPECT_EQ(Resolve("=Новоград", "Проспект Победы").streetCode, "74000001000000400");
  EXPECT_EQ(Resolve("=Новоград", "1-я Северная").streetCode, "74000001000000500");
  EXPECT_EQ(Resolve("=Новоград", "ул. Школьный").streetCode, "");  // wrong type
}

TEST_F(AddressTest, InstitutionStandsAtItsOwnAddress) {
  // "+" and "*" in ULIC both try the "_+" key before the "_*" one.
  AddressResult gkb8 = Resolve("=Новоград", "+ГКБ 8", "1");
  EXPECT_TRUE(gkb8.found);
  EXPECT_EQ(gkb8.streetCode, "74000001000000600");
  EXPECT_EQ(gkb8.house, "70");
  EXPECT_EQ(gkb8.institution, 123);
  EXPECT_EQ(Resolve("=Новоград", "*ГКБ 9").institution, 124);
  // An address without commas is all house and no street.
  AddressResult fap = Resolve("=Новоград", "+ФАП");
  EXPECT_EQ(fap.streetCode, "");
  EXPECT_EQ(fap.house, A("НОВОГРАД"));
  EXPECT_EQ(fap.institution, 125);
  // Not mapped, or mapped to a number the lpu table lacks: no address.
  EXPECT_FALSE(Resolve("=Новоград", "+Неизвестная").found);
  EXPECT_FALSE(Resolve("=Новоград", "+ГКБ 10").found);
  // The mapping is keyed by CITY and the name, both upper-cased.
  EXPECT_EQ(Resolve("=новоград", "+гкб 8").institution, 123);
}

TEST_F(AddressTest, GroupWritesStreetHouseAndFlat) {
  AddressFields f = Convert("=НОВОГРАД", "ул. Ленина", "12а", "5");
  EXPECT_EQ(f.cityStreet, "740000010000001");  // the 17-character code cut to 15
  EXPECT_EQ(f.house, 12);
  EXPECT_EQ(f.indHouse, A("А"));
  EXPECT_EQ(f.lpuFrom, kLpuFromBefore);
  EXPECT_EQ(f.room, 5);
  EXPECT_EQ(f.indRoom, "");
  EXPECT_EQ(f.codLpu, 672);

  f = Convert("=НОВОГРАД", "Несуществующая", "7б", "кв.15");
  EXPECT_EQ(f.cityStreet, "");
  EXPECT_EQ(f.house, 7);
  EXPECT_EQ(f.indHouse, A("Б"));
  EXPECT_EQ(f.room, 0);
  EXPECT_EQ(f.indRoom, A("К"));  // КВ15 cut to the field

  f = Convert("=НОВОГРАД", "Ленина", "", "");
  EXPECT_EQ(f.cityStreet, "740000010000001");
  EXPECT_EQ(f.house, 0);
  EXPECT_EQ(f.indHouse, "");
}

TEST_F(AddressTest, GroupWithInstitutionOrWithoutAddress) {
  AddressFields f = Convert("=НОВОГРАД", "+ГКБ 8", "1", "2");
  EXPECT_EQ(f.cityStreet, "740000010000006");
  EXPECT_EQ(f.house, 70);
  EXPECT_EQ(f.lpuFrom, 123);

  for (const char* street : {"+Неизвестная", "+ГКБ 10"}) {
    f = Convert("=НОВОГРАД", street, "12а", "3");
    EXPECT_EQ(f.cityStreet, "");
    EXPECT_EQ(f.house, 0);
    EXPECT_EQ(f.indHouse, "");
    EXPECT_EQ(f.lpuFrom, kLpuFromBefore);
    EXPECT_EQ(f.room, 3);  // the flat and the station regardless
    EXPECT_EQ(f.codLpu, 672);
  }
}

TEST_F(AddressTest, HouseTextNeverPassesForAnInstitution) {
  AddressFields f = Convert("=НОВОГРАД", "Ленина", "12|5", "");
  EXPECT_EQ(f.house, 12);
  EXPECT_EQ(f.indHouse, "5");
  EXPECT_EQ(f.lpuFrom, kLpuFromBefore);
}

TEST_F(AddressTest, NumbersTooLongForTheirFieldBecomeZero) {
  AddressFields f = Convert("=НОВОГРАД", "Ленина", "12345", "123456а");
  EXPECT_EQ(f.house, 0);
  EXPECT_EQ(f.indHouse, "");
  EXPECT_EQ(f.room, 0);
  EXPECT_EQ(f.indRoom, A("А"));
  f = Convert("=НОВОГРАД", "Ленина", "9999", "0012");
  EXPECT_EQ(f.house, 9999);
  EXPECT_EQ(f.room, 12);
}

TEST_F(AddressTest, ArchiveWithoutAnAddressFieldFails) {
  const std::string path = dir_.File("F6722402.DBF");
  WriteTable(path, {{"CITY", "C", 40}, {"ULIC", "C", 40}, {"DOM", "C", 10}}, {{"=НОВОГРАД", "Ленина", "1"}});
  Table input("VELTDBF");
  input.SetTableName(path);
  input.Open();
  input.First();
  session_.archive.Resolve(input);
  session_.archive.Load();
  output_.Append();
  OutputRecord out(output_.EditBuffer());
  RecordContext ctx(session_, out, true);
  EXPECT_THROW(AddressGroup(ctx), Error);
  output_.Cancel();
}

TEST_F(AddressTest, ReopenedStreetTableIsReadAfresh) {
  EXPECT_EQ(Resolve("=Новоград", "ул. Ленина").streetCode, "74000001000000100");
  session_.tables.ReleaseAll();
  WriteTable(State().pavkDirPath + "/street.dbf", {{"NAME", "C", 40}, {"SOCR", "C", 10}, {"CODE", "C", 17}},
             {{"Ленина", "ул", "74000001000000900"}});
  for (const char* name : {"city", "street", "lpu", "tr_lpu"}) session_.tables.Open(name);
  EXPECT_EQ(Resolve("=Новоград", "ул. Ленина").streetCode, "74000001000000900");
}

// The street found by the directory is the one a walk of the name's scope
// finds, over names, types and codes that differ in case, blanks, region,
// length, repeated streets and deleted records.
TEST_F(AddressTest, StreetDirectoryAnswersAsTheScopeWalk) {
  const std::vector<const char*> names = {"Ленина", "ленина", "Мира", "  Мира", "", "Мира 1-я"};
  const std::vector<const char*> socrs = {"ул", "УЛ", "Ул", "пер", "пр", " ул", ""};
  const std::vector<std::string> settlements = {"74000010000", "74000020000", "02000010000", "74000",
                                                "7400001000"};
  std::mt19937 rng(7);
  std::vector<Row> rows;
  for (int i = 0; i < 600; ++i) {
    std::string code = settlements[rng() % settlements.size()];
    if (rng() % 4 != 0) code += std::to_string(100000 + rng() % 900000);
    rows.push_back({names[rng() % names.size()], socrs[rng() % socrs.size()], code});
  }
  const std::string path = State().pavkDirPath + "/street.dbf";
  session_.tables.ReleaseAll();  // a table that an open holds is never replaced
  WriteTable(path, {{"NAME", "C", 40}, {"SOCR", "C", 10}, {"CODE", "C", 17}}, rows);
  {
    Table table;
    table.SetTableName(path);
    table.Open();
    table.First();
    for (int i = 0; !table.Eof(); ++i) {
      if (i % 7 == 3)
        table.Delete();  // moves on by itself
      else
        table.Next();
    }
  }
  session_.tables.Open("street");
  Table& streets = *session_.tables.Get(Lookup::street);
  auto walk = [&](const std::string& name, const std::string& settlement, const std::string& type) {
    streets.SetScope(name, name);
    for (streets.First(); !streets.Eof(); streets.Next()) {
      const std::string code = streets.FieldByName("CODE").AsString();
      if (code.substr(0, 11) == settlement && code.starts_with("74") &&
          UpperCase(streets.FieldByName("SOCR").AsString()) == type)
        return code;
    }
    return std::string();
  };
  StreetDirectory directory;
  directory.Refresh(streets);
  int found = 0;
  for (const char* name : {"ЛЕНИНА", "МИРА", "", "МИРА 1-Я", "НЕТ"}) {
    for (const std::string& settlement : settlements) {
      for (const char* type : {"УЛ", "ПЕР", "ПР", ""}) {
        std::string code;
        directory.Find(A(name), settlement, A(type), code);
        EXPECT_EQ(code, walk(A(name), settlement, A(type))) << name << " " << settlement << " " << type;
        found += !code.empty();
      }
    }
  }
  EXPECT_GT(found, 20);  // the comparison is not only of misses
}

TEST(SplitHouseNumberTest, LeadingDigitsAndCapitalSuffix) {
  auto split = [](const char* text) {
    HouseNumber h = SplitHouseNumber(A(text));
    return h.number + "/" + h.suffix;
  };
  EXPECT_EQ(split("12а"), A("12/А"));
  EXPECT_EQ(split("12/1"), "12/1");
  EXPECT_EQ(split("12 корп. 2"), A("12/КОРП2"));
  EXPECT_EQ(split("Б/Н"), A("/БН"));
  EXPECT_EQ(split("ё"), "/");  // Ё is not a suffix letter
  EXPECT_EQ(split(""), "/");
}

TEST(StreetNameTest, TypeWordOrdinalAndJunk) {
  auto normalise = [](const char* text) {
    std::string name = A(text);
    std::string type(NormaliseStreetName(name));
    return name + "|" + type;
  };
  EXPECT_EQ(normalise("ЛЕНИНА УЛ"), A("ЛЕНИНА|УЛ"));
  EXPECT_EQ(normalise("ПР-КТ МИРА"), A("МИРА|ПР-КТ"));
  EXPECT_EQ(normalise("ПР. МИРА"), A("МИРА|ПР"));
  EXPECT_EQ(normalise("2-Й ЛЕСНОЙ ПЕР"), A("ЛЕСНОЙ 2-Й|ПЕР"));
  EXPECT_EQ(normalise("10-Я ЛИНИЯ"), A("ЛИНИЯ 10-Я|УЛ"));
  EXPECT_EQ(normalise("1000-Я ЛИНИЯ"), A("1000-Я ЛИНИЯ|УЛ"));  // too far in for an ordinal
  EXPECT_EQ(normalise("1-Я"), A("1-Я|УЛ"));
  EXPECT_EQ(normalise("УЛ..ЛЕНИНА"), A("ЛЕНИНА|УЛ"));
  EXPECT_EQ(normalise("=ЛЕНИНА/"), A("ЛЕНИНА|УЛ"));
  EXPECT_EQ(normalise(""), A("|УЛ"));
}

TEST(StreetNameTest, RemovalIsOnePass) {
  std::string text = "XXYY";
  RemoveEvery(text, "XY");
  EXPECT_EQ(text, "XY");
  text = "ab ab";
  RemoveEvery(text, "ab");
  EXPECT_EQ(text, " ");
}

}  // namespace
}  // namespace velt
