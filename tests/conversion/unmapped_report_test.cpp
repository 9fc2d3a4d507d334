// Values that found no mapping: told apart from values mapped to 0, counted
// per call over a whole run of the sample archive, reset by each run, and
// written as CSV.
#include "conversion/unmapped_report.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include "conversion/conversion_run.h"
#include "conversion/run_session.h"
#include "reference/reference_tables.h"
#include "reference/test_tables.h"
#include "support/code_page.h"
#include "support/run_state.h"
#include "support/text.h"
#include "support_files/fake_run_host.h"
#include "support_files/temp_dir.h"

namespace velt::testing {
namespace {

namespace fs = std::filesystem;

const std::string kSampleApp = std::string(VELT_SOURCE_DIR) + "/data/sample/app";
const std::string kSampleArchive = std::string(VELT_SOURCE_DIR) + "/data/sample/archives/F1232401.DBF";

class MappingLookupTest : public AppFolderTest {};

TEST_F(MappingLookupTest, RowMappedToZeroIsMappedButEmptyChoiceOrNoRowIsNot) {
  WriteTable(MappingFile("tr_vid.dbf"), MappingColumns(),
             {{"1", A("Первичный"), A("0 - Не определено")},
              {"2", A("Повторный"), ""},
              {"3", A("Активное"), A("3 - Активное посещение")}});
  ASSERT_TRUE(OpenReferenceTable("tr_vid"));
  Table& table = *tables_.Get(Lookup::tr_vid);

  RecodeResult zero = RecodeValueEx("1", table);
  EXPECT_TRUE(zero.mapped);
  EXPECT_EQ(zero.code, 0);
  EXPECT_FALSE(RecodeValueEx("2", table).mapped);
  EXPECT_FALSE(RecodeValueEx("9", table).mapped);
  EXPECT_EQ(RecodeValueEx("3", table).code, 3);
  EXPECT_EQ(RecodeValue("3", table), 3);  // the plain lookup is unchanged

  // A run notes the keys that find no mapping.
  RunSession session(State());
  session.tables.Open("tr_vid");
  for (const char* key : {"1", "2", "2", "3", "9", "  "})
    session.RecodeNoting(UnmappedKind::CallKind, Lookup::tr_vid, key);
  EXPECT_EQ(session.unmapped.Calls(UnmappedKind::CallKind, "1"), 0);
  EXPECT_EQ(session.unmapped.Calls(UnmappedKind::CallKind, "2"), 2);
  EXPECT_EQ(session.unmapped.Calls(UnmappedKind::CallKind, "9"), 1);
  EXPECT_EQ(session.unmapped.Entries().size(), 2u);  // blank keys are not reported
}

TEST(UnmappedReportTest, CsvQuotesAndValuesPerMappingKind) {
  UnmappedReport report;
  report.Note(UnmappedKind::Street, A("УФА: УЛ. \"НОВАЯ\", 2"));
  report.Note(UnmappedKind::Institution, A("Хоспис"));
  report.Note(UnmappedKind::AddressInstitution, A("=УФА_+ГКБ 9"));
  report.Note(UnmappedKind::Institution, A("Хоспис"));
  EXPECT_EQ(UnmappedReportCsv(report, ','),
            "\xEF\xBB\xBFkind,value,calls\r\n"
            "ЛПУ госпитализации (KUDA),Хоспис,2\r\n"
            "ЛПУ в адресе (ULIC),'=УФА_+ГКБ 9,1\r\n"
            "Улица (ULIC),\"УФА: УЛ. \"\"НОВАЯ\"\", 2\",1\r\n");
  EXPECT_EQ(BatchReportStart(';') + UnmappedReportRowsOf(A("F1;.DBF"), report, ';'),
            "\xEF\xBB\xBF"
            "archive;kind;value;calls\r\n"
            "\"F1;.DBF\";ЛПУ госпитализации (KUDA);Хоспис;2\r\n"
            "\"F1;.DBF\";ЛПУ в адресе (ULIC);'=УФА_+ГКБ 9;1\r\n"
            "\"F1;.DBF\";Улица (ULIC);\"УФА: УЛ. \"\"НОВАЯ\"\", 2\";1\r\n");
  // The institution mapping serves both KUDA and the addresses; streets
  // have no mapping table.
  EXPECT_EQ(report.ValuesForMappingKind(5), (std::vector<std::string>{A("=УФА_+ГКБ 9"), A("Хоспис")}));
  EXPECT_TRUE(report.ValuesForMappingKind(0).empty());
  EXPECT_TRUE(report.ValuesForMappingKind(1).empty());
}

// Live calls of the sample archive that the run converts (a region that is
// a number not below 0, a profile other than Х, Я, ХЯ), by a field's value.
std::map<std::string, std::int64_t> ConvertedCallsBy(const char* field) {
  std::map<std::string, std::int64_t> counts;
  Table archive;
  archive.SetOEMTranslate(true);
  archive.SetTableName(kSampleArchive);
  archive.SetExclusive(false);
  archive.Open();
  for (archive.First(); !archive.Eof(); archive.Next()) {
    if (archive.IsDeleted()) continue;
    const std::string smo = archive.FieldByName("SMO").AsString();
    if (StrToIntDef(Copy(smo, 1, 2), 0) < 0) continue;
    const std::string prof = Trim(archive.FieldByName("PROF").AsString());
    if (!prof.empty() && A("ХЯ").find(prof) != std::string::npos) continue;
    ++counts[Trim(archive.FieldByName(field).AsString())];
  }
  return counts;
}

class SampleRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::copy(kSampleApp, dir_.Path() + "app", fs::copy_options::recursive);
    fs::create_directories(dir_.Path() + "out");
    DerivePaths(State(), dir_.Path() + "app", "veltconv");
    State().inputCodePage = "OEM";
  }

  RunSummary Run() {
    RunTables tables;
    testing::FakeRunHost host;
    return RunConversion(tables, host, kSampleArchive, dir_.Path() + "out");
  }

  TempDir dir_;
};

TEST_F(SampleRunTest, ReportListsExactlyTheValuesTheSampleLeavesUnmapped) {
  const RunSummary run = Run();
  ASSERT_EQ(run.outcome, RunOutcome::Completed);
  const UnmappedReport& report = run.unmapped;

  // The sample maps every classifier value but these: rows without a PAVK
  // choice (reason 09, place 6, kind 4, result 416, the injury 06 and the
  // institution "Хоспис") and the injury "07", which tr_reas1 lacks.
  std::set<std::pair<UnmappedKind, std::string>> classifiers;
  for (const UnmappedEntry& entry : report.Entries())
    if (MappingKindOf(entry.kind) != 0 && entry.kind != UnmappedKind::AddressInstitution)
      classifiers.insert({entry.kind, entry.value});
  const std::set<std::pair<UnmappedKind, std::string>> expected = {{UnmappedKind::Reason, "09"},
                                                                   {UnmappedKind::Place, "6"},
                                                                   {UnmappedKind::CallKind, "4"},
                                                                   {UnmappedKind::Result, "416"},
                                                                   {UnmappedKind::Injury, "06"},
                                                                   {UnmappedKind::InjuryReason, "07"},
                                                                   {UnmappedKind::Institution, A("Хоспис")}};
  EXPECT_EQ(classifiers, expected);

  // Every converted call with such a value is counted once.
  EXPECT_EQ(report.Calls(UnmappedKind::Reason, "09"), ConvertedCallsBy("POVD")["09"]);
  EXPECT_EQ(report.Calls(UnmappedKind::Place, "6"), ConvertedCallsBy("MEST")["6"]);
  EXPECT_EQ(report.Calls(UnmappedKind::CallKind, "4"), ConvertedCallsBy("POVT")["4"]);
  EXPECT_EQ(report.Calls(UnmappedKind::Result, "416"), ConvertedCallsBy("REZL")["416"]);
  EXPECT_EQ(report.Calls(UnmappedKind::Institution, A("Хоспис")), ConvertedCallsBy("KUDA")[A("Хоспис")]);

  // The sample's one settlement that is not found: "Уфа" written as a
  // settlement ("-ПОС Уфа"), while the reference knows only towns of that
  // name. Every street of a found settlement is known.
  std::int64_t settlementCalls = 0;
  for (const auto& [city, calls] : ConvertedCallsBy("CITY"))
    if (UpperCase(city) == A("-ПОС УФА")) settlementCalls += calls;
  ASSERT_GT(settlementCalls, 0);
  for (const UnmappedEntry& entry : report.Entries()) {
    EXPECT_NE(entry.kind, UnmappedKind::Street) << AnsiToUtf8(entry.value);
    if (entry.kind == UnmappedKind::Settlement) {
      EXPECT_EQ(entry.value, A("УФА"));
    }
  }
  EXPECT_EQ(report.Calls(UnmappedKind::Settlement, A("УФА")), settlementCalls);

  // The institutions named in the sample's addresses are all mapped.
  EXPECT_TRUE(report.ValuesForMappingKind(5) == std::vector<std::string>{A("Хоспис")});

  // A second run starts a fresh report rather than adding to the first.
  const std::int64_t first = report.Calls(UnmappedKind::Reason, "09");
  const RunSummary second = Run();
  ASSERT_EQ(second.outcome, RunOutcome::Completed);
  EXPECT_EQ(second.unmapped.Calls(UnmappedKind::Reason, "09"), first);
}

}  // namespace
}  // namespace velt::testing
