// Mapping tables to and from CSV: the round trip, the merge rules (keys kept,
// new keys appended, a PAVK code alone, tr_lpu keyed by name), either
// separator, and the refusals, after which the table is byte for byte what
// it was.
#include "reference/mapping_exchange.h"

#include <gtest/gtest.h>

#include "reference/test_tables.h"
#include "support/code_page.h"
#include "support/error.h"

namespace velt {
namespace {

using testing::A;
using testing::MappingColumns;
using testing::WriteTable;

constexpr int kResultKind = 3;  // tr_rslt
constexpr int kLpuKind = 5;     // tr_lpu

class MappingExchangeTest : public testing::AppFolderTest {
 protected:
  void SetUp() override {
    AppFolderTest::SetUp();
    WriteTable(MappingFile("PAVK_VALUES.dbf"),
               {{"DIR_ID", "N", 2}, {"PAVK_CODE", "C", 5}, {"PAVK_NAME", "C", 100}, {"DIRNAME", "C", 100}},
               {{"3", "301", A("Лечение завершено"), A("Результат")},
                {"3", "302", A("Госпитализация"), A("Результат")},
                {"5", "10", A("ГКБ №1"), A("ЛПУ")}});
    WriteTable(
        MappingFile("tr_rslt.dbf"), MappingColumns(),
        {{"1", A("Помощь, оказана"), A("301 - Лечение завершено")}, {"2", A("Доставлен \"в\" ГКБ"), ""}});
    WriteTable(MappingFile("tr_lpu.dbf"), MappingColumns(), {{"", A("ГКБ 1"), ""}, {"", A("ГКБ 1"), ""}});
  }

  std::string Csv(const std::string& utf8) const {
    std::string path = dir_.File("in.csv");
    EXPECT_TRUE(platform::WriteWholeFile(path, utf8));
    return path;
  }
  std::string Export(int kind, char separator = ',') const {
    ExportMappingFile(kind, dir_.File("out.csv"), separator);
    std::string text;
    EXPECT_TRUE(platform::ReadWholeFile(dir_.File("out.csv"), text));
    return text;
  }
  std::string Bytes(const std::string& name) const {
    std::string bytes;
    platform::ReadWholeFile(MappingFile(name), bytes);
    return bytes;
  }
  // The refusal's text (UTF-8), or "" when the import went through.
  std::string Refusal(int kind, const std::string& csv) const {
    try {
      ImportMappingFile(kind, Csv(csv));
    } catch (const Error& error) {
      return AnsiToUtf8(error.what());
    }
    return "";
  }
};

TEST_F(MappingExchangeTest, RoundTripGivesTheEditAndRefusalsWriteNothing) {
  const std::string exported = Export(kResultKind);
  EXPECT_EQ(exported,
            "\xEF\xBB\xBFVELTCODE,VELTNAME,PAVK\r\n"
            "1,\"Помощь, оказана\",301 - Лечение завершено\r\n"
            "2,\"Доставлен \"\"в\"\" ГКБ\",\r\n");
  const std::string edited =
      "\xEF\xBB\xBFVELTCODE,VELTNAME,PAVK\r\n"
      "1,\"Помощь, оказана\",\r\n"
      "2,\"Доставлен \"\"в\"\" ГКБ\",302 - Госпитализация\r\n"
      "3,\"Отказ\nот помощи\",301 - Лечение завершено\r\n";
  MappingImportCount count = ImportMappingFile(kResultKind, Csv(edited));
  EXPECT_EQ(count.updated, 2);
  EXPECT_EQ(count.appended, 1);
  EXPECT_EQ(Export(kResultKind), edited);
  // The same file again changes nothing.
  count = ImportMappingFile(kResultKind, Csv(edited));
  EXPECT_EQ(count.updated + count.appended, 0);

  // Refusals name the lines at fault and leave the table as it was.
  const std::string before = Bytes("tr_rslt.dbf");
  // The good row 2 is not written either; the quoted line break makes the
  // row after it line 5.
  const std::string refusal = Refusal(kResultKind,
                                      "VELTCODE,VELTNAME,PAVK\n"
                                      "7,new,302\n"
                                      "8,\"two\nlines\",999\n"
                                      ",no key,301\n"
                                      "9,too,many,cells\n"
                                      "123456,too long,\n"
                                      "1,\"open");
  for (const char* line :
       {"строка 3: «999» не является значением ПАВК", "строка 5: не заполнен ключ VELTCODE",
        "строка 6: полей 4 вместо трёх", "строка 7: VELTCODE длиннее 5 знаков", "строка 8: кавычка открыта"})
    EXPECT_NE(refusal.find(line), std::string::npos) << line << "\n" << refusal;
  EXPECT_EQ(refusal.find("строка 2"), std::string::npos);
  EXPECT_NE(refusal.find("in.csv"), std::string::npos);
  EXPECT_NE(refusal.find("Таблица связок не изменена."), std::string::npos);

  EXPECT_NE(Refusal(kResultKind, "CODE;NAME;PAVK\n1;a;301\n").find("заголовок VELTCODE,VELTNAME,PAVK"),
            std::string::npos);
  // Text that fits several choices is not taken for one of them.
  EXPECT_NE(Refusal(kResultKind, "VELTCODE,VELTNAME,PAVK\n1,a,и\n")
                .find("строка 2: «и» подходит к нескольким значениям ПАВК (301 - Лечение завершено; 302 - "
                      "Госпитализация)"),
            std::string::npos);
  EXPECT_NE(Refusal(kResultKind, "VELTCODE,VELTNAME,PAVK\n1,\xCF\xEE\xEC\xEE\xF9\xFC,301\n")
                .find("не в кодировке UTF-8"),
            std::string::npos);
  EXPECT_NE(Refusal(kResultKind, "VELTCODE,VELTNAME,PAVK\n1,\xE2\x82\xAC,301\n")
                .find("строка 2: в поле 2 есть знак"),
            std::string::npos);
  EXPECT_EQ(Bytes("tr_rslt.dbf"), before);

  // The table held by the editor (exclusively) is refused, naming it.
  Table editor;
  editor.SetTableName(MappingFile("tr_rslt.dbf"));
  editor.SetExclusive(true);
  editor.Open();
  const std::string held = Refusal(kResultKind, "VELTCODE,VELTNAME,PAVK\n1,a,301\n");
  EXPECT_NE(held.find("tr_rslt.dbf недоступна"), std::string::npos) << held;
  editor.Close();
  EXPECT_EQ(Bytes("tr_rslt.dbf"), before);
  EXPECT_EQ(MappingKindByName("tr_reas1"), 11);
  EXPECT_EQ(MappingKindByName("tr_rslt.dbf"), 0);
}

TEST_F(MappingExchangeTest, MergesByKeyWithTheCodeAloneAndTheInstitutionsByName) {
  // A byte order mark and LF line ends, as spreadsheets save; a row of the
  // table that the file lacks stays.
  ImportMappingFile(kResultKind, Csv("\xEF\xBB\xBFveltcode,veltname,pavk\n2,x, 302 \n"));
  EXPECT_EQ(Export(kResultKind),
            "\xEF\xBB\xBFVELTCODE,VELTNAME,PAVK\r\n"
            "1,\"Помощь, оказана\",301 - Лечение завершено\r\n"
            "2,\"Доставлен \"\"в\"\" ГКБ\",302 - Госпитализация\r\n");
  // tr_lpu: the name is the key, each record of a name twice in the table
  // gets the choice, and a row without a code is no missing key.
  const MappingImportCount count =
      ImportMappingFile(kLpuKind, Csv("VELTCODE,VELTNAME,PAVK\n,ГКБ 1,10\n,ГКБ 2,10 - ГКБ №1\n"));
  EXPECT_EQ(count.updated, 2);
  EXPECT_EQ(count.appended, 1);
  EXPECT_EQ(Export(kLpuKind),
            "\xEF\xBB\xBFVELTCODE,VELTNAME,PAVK\r\n,ГКБ 1,10 - ГКБ №1\r\n,ГКБ 1,10 - ГКБ №1\r\n,ГКБ 2,10 - "
            "ГКБ №1\r\n");
}

// Cells that a spreadsheet would run as formulas, semicolons and quotes:
// an exported file imports back to the same table and exports again to the
// same bytes, with either separator.
TEST_F(MappingExchangeTest, ExportImportExportGivesTheSameBytes) {
  WriteTable(MappingFile("tr_rslt.dbf"), MappingColumns(),
             {{"-1", A("=СУММ(A1)"), A("301 - Лечение завершено")},
              {"+2", A("'@все; \"да\""), ""},
              {"@3", A("''-x"), A("302 - Госпитализация")}});
  for (char separator : {';', ','}) {
    const std::string table = Bytes("tr_rslt.dbf");
    const std::string first = Export(kResultKind, separator);
    EXPECT_NE(first.find("'=СУММ(A1)"), std::string::npos);
    const MappingImportCount count = ImportMappingFile(kResultKind, dir_.File("out.csv"));
    EXPECT_EQ(count.updated + count.appended, 0) << separator;
    EXPECT_EQ(Bytes("tr_rslt.dbf"), table) << separator;
    EXPECT_EQ(Export(kResultKind, separator), first) << separator;
  }
  EXPECT_EQ(Export(kResultKind, ';'),
            "\xEF\xBB\xBFVELTCODE;VELTNAME;PAVK\r\n"
            "'-1;'=СУММ(A1);301 - Лечение завершено\r\n"
            "'+2;\"''@все; \"\"да\"\"\";\r\n"
            "'@3;'''-x;302 - Госпитализация\r\n");
  // A new key read from a semicolon file is appended as written.
  ImportMappingFile(kResultKind, Csv("VELTCODE;VELTNAME;PAVK\r\n'=4;a,b;302\r\n"));
  EXPECT_NE(Export(kResultKind, ';').find("\r\n'=4;a,b;302 - Госпитализация\r\n"), std::string::npos);
}

}  // namespace
}  // namespace velt
