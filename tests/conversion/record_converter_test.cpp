#include "conversion/record_converter.h"

#include <gtest/gtest.h>

#include <map>

#include "conversion/output_layout.h"
#include "conversion/run_session.h"
#include "reference/reference_tables.h"
#include "reference/test_tables.h"
#include "support/code_page.h"
#include "support/error.h"

namespace velt {
namespace {

using testing::A;
using testing::Column;
using testing::WriteTable;

using Layout = std::vector<Column>;
using Call = std::map<std::string, std::string>;    // archive field -> UTF-8 text; a date as dd.mm.yyyy
using Record = std::map<std::string, std::string>;  // output field -> UTF-8 text

Layout ArchiveLayout() {
  Layout layout = {
      {"PROF", "C", 2}, {"KOD1", "C", 10}, {"POL", "C", 1}, {"TDOKUM", "C", 2}, {"NGOD", "N", 8}};
  for (const char* name :
       {"SPOL", "FAM",  "IMYA", "OTCH", "NDOKUM", "SNILS", "CITY", "ULIC", "DOM",  "KVAR", "SMO",
        "NUMV", "DPRM", "TPRM", "TISP", "DSHS",   "DS1",   "REZL", "PRFB", "TSTA", "KUDA", "POVD",
        "TRAV", "POVT", "MEST", "KILO", "DOKT",   "PRTY",  "TPER", "VYEZ", "PRZD", "TGSP"}) {
    layout.push_back({name, "C", 25});
  }
  return layout;
}

Layout Without(Layout layout, const std::string& name) {
  std::erase_if(layout, [&](const Column& c) { return c.name == name; });
  return layout;
}

// A call that every group converts without a complaint, with some fields changed.
Call Valid(const Call& changes = {}) {
  // clang-format off
  Call call = {{"PROF", "Л"}, {"SPOL", "1234 5678 9012 3456"}, {"FAM", "Иванов"}, {"IMYA", "пётр"},
               {"OTCH", "Ильич"}, {"KOD1", "05.03.1980"}, {"POL", "М"}, {"TDOKUM", "14"},
               {"NDOKUM", "75 02 123456"}, {"SNILS", "112-233-445 95"}, {"SMO", "74005"}, {"NUMV", "4711"},
               {"NGOD", "1234"}, {"DPRM", "240115"}, {"TPRM", "10:15"}, {"TISP", "11:05"}, {"DS1", "I10"},
               {"PRFB", "Л"}, {"DOKT", "Петров"}, {"PRTY", "1"}};
  // clang-format on
  for (const auto& [name, value] : changes) call[name] = value;
  return call;
}

void WriteArchive(const std::string& path, const Layout& layout, const std::vector<Call>& calls) {
  std::vector<testing::Row> rows;
  for (const Call& call : calls) {
    testing::Row& row = rows.emplace_back();
    for (const Column& c : layout) row.push_back(call.contains(c.name) ? A(call.at(c.name).c_str()) : "");
  }
  WriteTable(path, layout, rows);
}

std::string Join(const Record& record, std::initializer_list<const char*> fields) {
  std::string joined;
  for (const char* field : fields) joined += (field == *fields.begin() ? "" : "|") + record.at(field);
  return joined;
}

// Empty reference and mapping tables but for two insurers, opened as a run opens them.
class RecordConverterTest : public testing::AppFolderTest {
 protected:
  void SetUp() override {
    AppFolderTest::SetUp();
    for (const char* name : {"tr_from", "tr_reas", "tr_reas1", "tr_rslt", "tr_vid", "tr_lpu", "tr_trag"}) {
      WriteTable(MappingFile(std::string(name) + ".dbf"), testing::MappingColumns(), {});
    }
    const Layout places = {{"NAME", "C", 40}, {"CODE", "C", 17}, {"SOCR", "C", 10}};
    WriteTable(PavkFile("city.dbf"), places, {});
    WriteTable(PavkFile("street.dbf"), places, {});
    WriteTable(PavkFile("f002.dbf"), {{"SMOCOD", "C", 5}, {"TF_OKATO", "C", 5}},
               {{"74005", "75"}, {"45001", "45"}});
    WriteTable(PavkFile("tarif.dbf"),
               {{"COD_SPEC", "N", 4}, {"CATEGORY", "N", 1}, {"PLACE", "N", 2}, {"PURPOSE", "C", 2}}, {});
    WriteTable(PavkFile("lpu.dbf"), {{"NPP", "N", 4}, {"CATEGORY", "N", 1}, {"ADRESS", "C", 100}}, {});
    for (int i = 0; i < kLookupCount; ++i)
      ASSERT_TRUE(OpenReferenceTable(LookupName(static_cast<Lookup>(i))));
    session_.stationCode = 123;
    session_.inputFilePath = dir_.File("F1232401.DBF");
    session_.inputFileName = "F1232401.DBF";
    archive_.SetOEMTranslate(true);
    output_.SetOEMTranslate(true);
    archive_.SetTableName(session_.inputFilePath);
  }

  // Converts every call of a new archive into a new output table; each call
  // reopens the same archive object, with whatever layout the test gives.
  std::vector<Record> Convert(const std::vector<Call>& calls, bool isNative = true,
                              const Layout& layout = ArchiveLayout()) {
    WriteArchive(session_.inputFilePath, layout, calls);
    archive_.Open();
    session_.archive.Resolve(archive_);
    CreateOutputTable(output_, dir_.File("out.dbf"));
    for (archive_.First(); !archive_.Eof(); archive_.Next()) {
      session_.archive.Load();
      ConvertCallRecord(session_, output_, isNative);
    }
    archive_.Close();
    output_.Close();
    std::vector<Record> records;
    Table written;
    written.SetOEMTranslate(true);
    written.SetTableName(dir_.File("out.dbf"));
    written.Open();
    for (written.First(); !written.Eof(); written.Next()) {
      Record& record = records.emplace_back();
      for (int i = 0; i < written.FieldCount(); ++i)
        record[written.Field(i).name] = AnsiToUtf8(written.AsString(i));
    }
    return records;
  }

  Record ConvertOne(const Call& call, bool isNative = true, const Layout& layout = ArchiveLayout()) {
    const auto records = Convert({call}, isNative, layout);
    EXPECT_EQ(records.size(), 1u);
    return records.empty() ? Record{} : records[0];
  }

  // The log's lines after their 22-character stamps, in UTF-8.
  std::vector<std::string> Logged() {
    std::string log;
    platform::ReadWholeFile(State().logFilePath, log);
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = log.find("\r\n", at)) != std::string::npos; at = end + 2) {
      const std::string line = log.substr(at, end - at);
      EXPECT_TRUE(line.size() > 22 && line[2] == '.' && line.substr(10, 2) == ", " &&
                  line.substr(20, 2) == ". ")
          << line;
      lines.push_back(AnsiToUtf8(line.substr(22)));
    }
    return lines;
  }

  ReferenceTables& Tables() override { return session_.tables; }

  RunSession session_{State()};
  Table archive_{"VELTDBF"};
  Table output_{"OutNatives"};
};

TEST_F(RecordConverterTest, ValidCallFillsTheIdentityFieldsAndLogsNothing) {
  const Record out = ConvertOne(Valid());
  EXPECT_EQ(Join(out, {"VPOLIC", "SPOLIC", "NUMBER"}), "3||1234567890123456");
  EXPECT_EQ(Join(out, {"FAMILY", "NAME", "FATHER", "DATE", "SEX"}), "ИВАНОВ|ПЁТР|ИЛЬИЧ|05.03.1980|1");
  EXPECT_EQ(Join(out, {"DOCTYPE", "DOCSER", "DOCNUM", "SNILS"}), "14|75 02|123456|11223344595");
  EXPECT_EQ(Join(out, {"COD_SMO", "NHISTORY", "PLACE", "PURPOSE"}), "5|4711|20|03");  // 74005 at home: 5
  EXPECT_EQ(Join(out, {"STATUS", "FAM_P", "DATE_P", "SUMV"}), "|||");
  EXPECT_EQ(Logged(), std::vector<std::string>{});
}

TEST_F(RecordConverterTest, ProfilesKhAndYaAreSkippedWithoutUsingARecordNumber) {
  const auto out = Convert({Valid({{"PROF", "Х"}, {"NUMV", "1"}}), Valid({{"PROF", "Л"}, {"NUMV", "2"}}),
                            Valid({{"PROF", "Я"}, {"NUMV", "3"}}), Valid({{"PROF", ""}, {"NUMV", "4"}}),
                            Valid({{"PROF", "ХЯ"}, {"NUMV", "5"}})});
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(Join(out[0], {"NHISTORY", "N_ZAP"}), "2|1");
  EXPECT_EQ(Join(out[1], {"NHISTORY", "N_ZAP"}), "4|2");
  EXPECT_EQ(session_.nativesCounter, 3);
}

TEST_F(RecordConverterTest, PolicyIsTakenFromSpolWhenTheArchiveHasIt) {
  Layout both = ArchiveLayout();
  both.push_back({"NPOLIS", "C", 20});
  // SPOL wins even when it is empty.
  Record out = ConvertOne(Valid({{"NPOLIS", "1234567890123456"}, {"SPOL", ""}}), true, both);
  EXPECT_EQ(Join(out, {"VPOLIC", "SPOLIC", "NUMBER"}), "0||-1");
  out = ConvertOne(Valid({{"NPOLIS", "123-456789"}}), true, Without(both, "SPOL"));
  EXPECT_EQ(Join(out, {"VPOLIC", "SPOLIC", "NUMBER"}), "2|123|456789");
  out = ConvertOne(Valid(), true, Without(ArchiveLayout(), "SPOL"));
  EXPECT_EQ(Join(out, {"VPOLIC", "SPOLIC", "NUMBER"}), "0||-1");
  out = ConvertOne(Valid({{"SPOL", "1234 567"}, {"SMO", "45001"}}), false);
  EXPECT_EQ(Join(out, {"VPOLIC", "SPOLIC", "NUMBER"}), "1|1234|567");
}

TEST_F(RecordConverterTest, BirthDateFromKod1ElseDataRAndABadOneIsLoggedWhileTheRecordGoesOn) {
  const auto out =
      Convert({Valid({{"KOD1", "31.02.1980"}, {"NGOD", "11"}}), Valid({{"KOD1", ""}, {"NGOD", "12"}}),
               Valid({{"KOD1", "5.3.1980"}, {"NGOD", "13"}})});
  ASSERT_EQ(out.size(), 3u);
  for (const Record& record : out) EXPECT_EQ(Join(record, {"DATE", "FAMILY", "COD_SMO"}), "|ИВАНОВ|5");

  // Date fields read as dd.mm.yyyy; KOD1 wins over DATA_R even when empty.
  Layout dated = Without(ArchiveLayout(), "KOD1");
  dated.push_back({"DATA_R", "D", 8});
  EXPECT_EQ(ConvertOne(Valid({{"DATA_R", "07.11.1975"}}), true, dated).at("DATE"), "07.11.1975");
  dated.push_back({"KOD1", "D", 8});
  EXPECT_EQ(ConvertOne(Valid({{"KOD1", "01.02.2003"}, {"DATA_R", "07.11.1975"}}), true, dated).at("DATE"),
            "01.02.2003");
  EXPECT_EQ(ConvertOne(Valid({{"KOD1", ""}, {"DATA_R", "07.11.1975"}}), true, dated).at("DATE"), "");
  EXPECT_EQ(ConvertOne(Valid(), true, Without(ArchiveLayout(), "KOD1")).at("DATE"), "");
  const std::string bad = ": Неверная дата рождения.";
  EXPECT_EQ(Logged(), (std::vector<std::string>{" Вызов №11" + bad, " Вызов №12" + bad, " Вызов №13" + bad,
                                                " Вызов №1234" + bad, " Вызов №1234" + bad}));
}

TEST_F(RecordConverterTest, SexSnilsAndDocumentsNeedTheirExactForms) {
  const auto out =
      Convert({Valid({{"POL", "м"}, {"SNILS", "112 233 445 96"}, {"NDOKUM", "123456789"}}),
               Valid({{"POL", "M"}, {"SNILS", "11223344595"}, {"TDOKUM", "21"}, {"NDOKUM", "AB 1234567"}}),
               Valid({{"POL", "Ж"}, {"TDOKUM", "8"}, {"NDOKUM", "12 3456789"}}),
               Valid({{"POL", ""}, {"TDOKUM", "08"}, {"NDOKUM", "12 3456789"}})});
  ASSERT_EQ(out.size(), 4u);
  for (const Record& record : out) EXPECT_EQ(record.at("SEX"), "0");  // only a Cyrillic capital М is male
  EXPECT_EQ(out[0].at("SNILS"), "");
  EXPECT_EQ(out[1].at("SNILS"), "11223344595");
  // A rejected document leaves its three fields empty without a log line.
  EXPECT_EQ(Join(out[0], {"DOCTYPE", "DOCSER", "DOCNUM"}), "||");
  EXPECT_EQ(Join(out[1], {"DOCTYPE", "DOCSER", "DOCNUM"}), "21|AB 123456|7");
  EXPECT_EQ(Join(out[2], {"DOCTYPE", "DOCSER", "DOCNUM"}), "||");
  EXPECT_EQ(Join(out[3], {"DOCTYPE", "DOCSER", "DOCNUM"}), "8|12|3456789");
  EXPECT_EQ(Logged(), std::vector<std::string>{});
}

TEST_F(RecordConverterTest, InsurerCodeComesFromF002AndDropsTheHomeRegionPrefix) {
  EXPECT_EQ(ConvertOne(Valid({{"SMO", "74005 АСТРАМЕД"}})).at("COD_SMO"), "5");
  EXPECT_EQ(ConvertOne(Valid({{"SMO", "74009"}})).at("COD_SMO"), "");
  EXPECT_EQ(ConvertOne(Valid({{"SMO", "45001"}}), false).at("COD_SMO"), "45001");
  EXPECT_EQ(Logged(), std::vector<std::string>{});
  // Without its reference table the group fails and is logged; the record goes on.
  session_.tables.Release(Lookup::f002);
  EXPECT_EQ(Join(ConvertOne(Valid()), {"COD_SMO", "NHISTORY"}), "|4711");
  EXPECT_EQ(Logged(), std::vector<std::string>{" Вызов №1234: Невозможно определить код СМО."});
}

TEST_F(RecordConverterTest, GroupMessagesAreLoggedByteForByte) {
  Convert({Valid({{"DPRM", "240230"}, {"NGOD", "7"}}), Valid({{"TPRM", "7:05"}, {"NGOD", "8"}})}, true,
          Without(ArchiveLayout(), "NDOKUM"));
  const std::string document = ": Номер документа не соответствует указанному типу документа.";
  EXPECT_EQ(Logged(),
            (std::vector<std::string>{" Вызов №7" + document, " Вызов №7 - неверная дата приема вызова ",
                                      " Вызов №8" + document,
                                      " Вызов №8 - неверн" + std::string("oe") +  // Latin o and e
                                          " время приема вызова "}));
}

TEST_F(RecordConverterTest, JunkCharactersNeverReachTheCleanedFields) {
  const Record out = ConvertOne(Valid({{"FAM", "Ив#ан=ов|"},
                                       {"NUMV", "12#3="},
                                       {"DOKT", "Пет|ров"},
                                       {"SPOL", "АБ# 12=3"},
                                       {"SMO", "45001"},
                                       {"DS1", "I1=0"}}),
                                false);
  EXPECT_EQ(Join(out, {"FAMILY", "NHISTORY", "DOCTOR", "SPOLIC", "NUMBER", "COD_MKB"}),
            "ИВАНОВ|123|ПЕТРОВ|АБ|123|I10");
}

TEST_F(RecordConverterTest, MissingFieldOutsideTheGuardsLeavesTheRecordUnposted) {
  WriteArchive(session_.inputFilePath, Without(ArchiveLayout(), "FAM"), {Valid()});
  archive_.Open();
  archive_.First();
  session_.archive.Resolve(archive_);
  session_.archive.Load();
  CreateOutputTable(output_, dir_.File("out.dbf"));
  try {
    ConvertCallRecord(session_, output_, true);
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "VELTDBF: Field 'FAM' not found");
  }
  EXPECT_EQ(output_.PhysicalCount(), 0);
  // A guarded group that fails needs NGOD for its log line.
  output_.Cancel();
  archive_.Close();
  WriteArchive(session_.inputFilePath, Without(ArchiveLayout(), "NGOD"), {Valid({{"KOD1", ""}})});
  archive_.Open();
  archive_.First();
  session_.archive.Resolve(archive_);
  session_.archive.Load();
  EXPECT_THROW(ConvertCallRecord(session_, output_, true), Error);
  EXPECT_EQ(output_.PhysicalCount(), 0);
}

}  // namespace
}  // namespace velt
