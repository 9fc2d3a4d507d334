// The conversion run over whole archives: file names and station codes,
// routing by the insurer's region, progress, cancelling, code pages, early
// ends and failures.
#include "conversion/conversion_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "reference/reference_tables.h"
#include "reference/test_tables.h"
#include "support/code_page.h"
#include "support/error.h"
#include "support/file_problem.h"
#include "support/platform.h"
#include "support/run_state.h"
#include "support_files/fake_run_host.h"
#include "support_files/temp_dir.h"

namespace velt::testing {
namespace {

namespace fs = std::filesystem;

const std::string kSampleApp = std::string(VELT_SOURCE_DIR) + "/data/sample/app";
const std::string kSampleArchive = std::string(VELT_SOURCE_DIR) + "/data/sample/archives/F1232401.DBF";

struct Call {
  std::string smo;
  bool deleted = false;
  std::string prof = "\xCB";  // Л
  std::string tprm = "10:15";
};

class ConversionRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::copy(kSampleApp, dir_.Path() + "app", fs::copy_options::recursive);
    fs::create_directories(dir_.Path() + "out");
    DerivePaths(State(), dir_.Path() + "app", "veltconv");
    State().inputCodePage = "OEM";
  }

  // An archive with the sample's fields whose records copy the sample's
  // first live record, with the insurer, profile and time of each call.
  std::string Archive(const std::string& name, const std::vector<Call>& calls) {
    std::string path = dir_.File(name);
    Table sample;
    sample.SetOEMTranslate(true);
    sample.SetTableName(kSampleArchive);
    sample.CopyStructure(path);
    sample.Open();
    sample.First();
    Table archive;
    archive.SetOEMTranslate(true);
    archive.SetTableName(path);
    archive.Open();
    int n = 0;
    for (const Call& call : calls) {
      archive.Append();
      for (int i = 0; i < sample.FieldCount(); ++i) archive.SetString(i, sample.AsString(i));
      archive.FieldByName("SMO").SetString(call.smo);
      archive.FieldByName("PROF").SetString(call.prof);
      archive.FieldByName("TPRM").SetString(call.tprm);
      archive.FieldByName("NGOD").SetString(std::to_string(++n));
      archive.Post();
      if (call.deleted) archive.Delete();
    }
    return path;
  }

  RunSummary Run(const std::string& archive) { return RunConversion(tables_, host_, archive, Out()); }
  // No run holds the mapping table any more: it opens for sole use.
  static bool Released(const std::string& mapping) {
    Table table;
    table.SetTableName(State().mappingDirPath + "/" + mapping + ".dbf");
    table.SetExclusive(true);
    try {
      table.Open();
      return true;
    } catch (const Error&) {
      return false;
    }
  }
  std::string Out() const { return dir_.Path() + "out"; }
  std::string Log() const {
    std::string text;
    platform::ReadWholeFile(State().logFilePath, text);
    return text;
  }
  int Records(const std::string& file) const {
    Table t;
    t.SetTableName(dir_.Path() + "out/" + file);
    t.Open();
    return t.Count();
  }

  TempDir dir_;
  RunTables tables_;
  testing::FakeRunHost host_;
};

TEST_F(ConversionRunTest, NamesTheOutputsAfterTheArchiveAndTakesTheStationFromIt) {
  RunSummary s = Run(Archive("F1232401.DBF", {{"740011"}, {"450011"}}));
  EXPECT_EQ(s.outcome, RunOutcome::Completed);
  EXPECT_EQ(s.stationCode, 123);
  EXPECT_TRUE(platform::FileExists(Out() + "/tF1232401.DBF"));
  EXPECT_TRUE(platform::FileExists(Out() + "/teF1232401.DBF"));
  EXPECT_EQ(host_.status, A("Конвертация выполнена"));
  EXPECT_TRUE(host_.menuEnabled);
  EXPECT_FALSE(host_.barVisible);
  std::string log = Log();
  EXPECT_NE(log.find(A("Запущена конвертация файла ") + dir_.File("F1232401.DBF") + "\r\n"),
            std::string::npos);
  EXPECT_NE(log.find(A("Конвертация файла ") + dir_.File("F1232401.DBF") + A(" успешно завершена.\r\n")),
            std::string::npos);
  // The reference tables are released at the end of a run.
  EXPECT_TRUE(Released("tr_vid"));
}

TEST_F(ConversionRunTest, RefusesAStationCodeOfZeroOrNotANumber) {
  std::string archive = Archive("F0002401.DBF", {{"740011"}});
  for (const std::string& path :
       {archive, Archive("FABC2401.DBF", {{"740011"}}), A("Не выбран файл архива ВЕЛТ")}) {
    host_.messages.clear();
    RunSummary s = Run(path);
    EXPECT_EQ(s.outcome, RunOutcome::EndedEarly) << path;
    ASSERT_EQ(host_.messages.size(), 1u);
    EXPECT_TRUE(host_.messages[0].starts_with(
        A("Неверный код ЛПУ в имени файла. Переименуйте входной файл ВЕЛТ в виде F<ЛПУ><ГГ><ММ>.DBF.\n")));
    // The second line tells a name without the code from no archive at all.
    const bool chosen = path != A("Не выбран файл архива ВЕЛТ");
    EXPECT_NE(host_.messages[0].find(chosen ? A(": в имени нет кода ЛПУ")
                                            : A("Файл архива не выбран или не найден: Не выбран")),
              std::string::npos)
        << host_.messages[0];
    // The window is put back after an early end.
    EXPECT_TRUE(host_.menuEnabled);
    EXPECT_EQ(host_.status, A("Конвертация отменена"));
  }
  EXPECT_NE(Log().find(A(". Конвертация отменена\r\n")), std::string::npos);
  // Characters 2 to 4 may read as a negative number: that station is accepted.
  RunSummary negative = Run(Archive("F-122401.DBF", {{"740011"}}));
  EXPECT_EQ(negative.outcome, RunOutcome::Completed);
  EXPECT_EQ(negative.stationCode, -12);
}

TEST_F(ConversionRunTest, RoutesEachCallByTheRegionOfItsInsurer) {
  RunSummary s = Run(Archive(
      "F1232401.DBF", {{"740011"}, {"00111"}, {A("7А001")}, {""}, {"450011"}, {"-1001"}, {"450011", true}}));
  EXPECT_EQ(s.recordsRead, 6);
  EXPECT_EQ(Records("tF1232401.DBF"), 4);
  EXPECT_EQ(Records("teF1232401.DBF"), 1);
  EXPECT_EQ(s.unrouted, 1);
  EXPECT_EQ(s.nativesWritten, 4);
  EXPECT_EQ(s.externalsWritten, 1);
}

TEST_F(ConversionRunTest, WritesOnlyTheTablesThatReceiveCallsAndStartsThemEmptyEachRun) {
  // An old other-region table of the same name stays as it was.
  ASSERT_TRUE(platform::WriteWholeFile(Out() + "/teF1232401.DBF", "left by an earlier run"));
  std::string archive = Archive("F1232401.DBF", {{"740011"}, {"740011"}, {"740011", false, "\xD5"}});
  RunSummary first = Run(archive);
  EXPECT_EQ(first.nativesWritten, 2);
  EXPECT_EQ(first.skipped, 1);  // profile Х
  std::string old;
  platform::ReadWholeFile(Out() + "/teF1232401.DBF", old);
  EXPECT_EQ(old, "left by an earlier run");
  ASSERT_EQ(host_.warnings.size(), 1u);
  EXPECT_NE(host_.warnings[0].find(A("этот запуск её не создавал")), std::string::npos);
  Run(archive);
  EXPECT_EQ(Records("tF1232401.DBF"), 2);
  EXPECT_FALSE(platform::FileExists(Out() + "/tF1232401.DBF.partial"));
  // A run that writes no table at all warns of the earlier ones it leaves.
  host_.warnings.clear();
  Run(Archive("F1232401.DBF", {{"-1001"}}));
  EXPECT_EQ(host_.warnings.size(), 2u);
}

TEST_F(ConversionRunTest, ProgressStepIsAHundredthOfTheCountRoundedHalfToEvenPlusOne) {
  EXPECT_EQ(ProgressStepFor(150), 3);
  EXPECT_EQ(ProgressStepFor(250), 3);
  EXPECT_EQ(ProgressStepFor(99), 2);
  EXPECT_EQ(ProgressStepFor(0), 1);
  EXPECT_EQ(ProgressPosition(1, 8), 12);     // 12.5 rounds to 12
  EXPECT_EQ(ProgressPosition(3, 8), 38);     // 37.5 rounds to 38
  EXPECT_EQ(ProgressPosition(12, 10), 100);  // past the live count: shown as 100

  RunSummary empty = Run(Archive("F1232401.DBF", {}));
  EXPECT_EQ(empty.outcome, RunOutcome::Completed);
  EXPECT_EQ(empty.recordsRead, 0);
  EXPECT_FALSE(platform::FileExists(Out() + "/tF1232401.DBF"));
}

TEST_F(ConversionRunTest, ACancelEndsTheRunAfterTheCurrentRecordAndKeepsWhatWasWrittenAsPartial) {
  std::vector<Call> calls(300, Call{"740011"});
  std::string archive = Archive("F1232401.DBF", calls);
  ASSERT_EQ(Run(archive).outcome, RunOutcome::Completed);
  std::string earlier;
  platform::ReadWholeFile(Out() + "/tF1232401.DBF", earlier);
  host_.events = 0;
  host_.cancelAtEvent = 3;  // start line, step set, then the first progress update
  RunSummary s = Run(archive);
  EXPECT_EQ(s.outcome, RunOutcome::Cancelled);
  EXPECT_EQ(host_.status, A("Конвертация отменена"));
  // The first update comes when the record after the first step-full is
  // reached; the records before it were converted, into the partial table.
  // The earlier run's table stays as it was.
  EXPECT_EQ(Records("tF1232401.DBF.partial"), ProgressStepFor(300) - 1);
  std::string after;
  platform::ReadWholeFile(Out() + "/tF1232401.DBF", after);
  EXPECT_EQ(after, earlier);
  EXPECT_NE(Log().find(A(" отменена.\r\n")), std::string::npos);
  // The tables it leaves are named as partial, with what they hold, to the
  // operator and in the log.
  ASSERT_EQ(host_.warnings.size(), 1u);
  const std::string named = A("таблицы неполные: ") + Out() + platform::PathSeparator() +
                            "tF1232401.DBF.partial (" + std::to_string(ProgressStepFor(300) - 1);
  EXPECT_NE(host_.warnings[0].find(named), std::string::npos) << host_.warnings[0];
  EXPECT_NE(Log().find(named), std::string::npos);

  // The cancel belongs to the run's host: a run with another host goes
  // through; one requested before the start stops the run before its first
  // record.
  testing::FakeRunHost other;
  EXPECT_EQ(RunConversion(tables_, other, archive, Out()).outcome, RunOutcome::Completed);
  testing::FakeRunHost early;
  early.Cancel().Request();
  RunSummary next = RunConversion(tables_, early, archive, Out());
  EXPECT_EQ(next.outcome, RunOutcome::Cancelled);
  EXPECT_EQ(next.recordsRead, 0);
}

TEST_F(ConversionRunTest, TheCodePageDecidesWhetherTheArchiveIsTranslated) {
  std::string archive = Archive("F1232401.DBF", {{"740011"}});
  Run(archive);
  Table out;
  out.SetOEMTranslate(true);
  out.SetTableName(Out() + "/tF1232401.DBF");
  out.Open();
  std::string translated = out.FieldByName("FAMILY").AsString();
  out.Close();
  State().inputCodePage = "ANSI";
  Run(archive);
  out.Open();
  std::string untranslated = out.FieldByName("FAMILY").AsString();
  // Read without translation the 866 letters of the archive are other
  // letters (and pseudo-graphics that the output's code page lacks).
  EXPECT_EQ(translated, A("ВАСИЛЬЕВ"));
  EXPECT_NE(untranslated, translated);
}

TEST_F(ConversionRunTest, EndsEarlyWhenAReferenceTableOrTheArchiveCannotBeOpened) {
  std::string archive = Archive("F1232401.DBF", {{"740011"}});
  fs::remove(State().mappingDirPath + "/tr_vid.dbf");
  EXPECT_EQ(Run(archive).outcome, RunOutcome::EndedEarly);
  EXPECT_NE(Log().find(A("Ошибка создания индексов. Конвертация отменена\r\n")), std::string::npos);
  EXPECT_FALSE(platform::FileExists(Out() + "/tF1232401.DBF"));
  EXPECT_TRUE(Released("tr_from"));

  fs::copy(kSampleApp + "/dirstrans/tr_vid.dbf", State().mappingDirPath + "/tr_vid.dbf");
  Table holder;
  holder.SetTableName(archive);
  holder.SetExclusive(true);
  holder.Open();
  host_.messages.clear();
  EXPECT_EQ(Run(archive).outcome, RunOutcome::EndedEarly);
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0], A("Закройте все открытые файлы DBF\nФайл ") + archive +
                                   A(": занят другой программой, закройте её."));
  EXPECT_NE(Log().find(A("Конвертация отменена. Ошибка открытия VELTDBF\r\n")), std::string::npos);
}

TEST_F(ConversionRunTest, AnErrorNoRuleHandlesEndsTheRunAtItsRecordAndKeepsEarlierRecords) {
  // 24:00 with a valid date cannot form the call's start moment.
  std::string archive =
      Archive("F1232401.DBF", {{"740011"}, {"740011"}, {"740011", false, "\xCB", "24:00"}, {"740011"}});
  try {
    Run(archive);
    FAIL() << "the run should end with an error";
  } catch (const Error& e) {
    std::string text = e.what();
    EXPECT_NE(text.find(A("\nЗапись архива № 3, вызов № 3")), std::string::npos) << AnsiToUtf8(text);
  }
  EXPECT_EQ(host_.status, A("Конвертация отменена"));
  EXPECT_TRUE(host_.menuEnabled);
  EXPECT_EQ(Records("tF1232401.DBF.partial"), 2);
  EXPECT_FALSE(platform::FileExists(Out() + "/tF1232401.DBF"));
  EXPECT_EQ(Log().find(A("успешно завершена")), std::string::npos);
}

TEST_F(ConversionRunTest, AValueTooWideForItsFieldNamesTheRecordTheCallTheFieldAndTheValue) {
  std::string archive = Archive("F1232401.DBF", {{"740011"}, {"740011"}, {"740011"}});
  {
    Table table;
    table.SetOEMTranslate(true);
    table.SetTableName(archive);
    table.Open();
    table.First();
    table.Next();
    table.Edit();
    table.FieldByName("KILO").SetString("123456");  // SP_KM is N 4
    table.Post();
  }
  try {
    Run(archive);
    FAIL() << "the run should end with an error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()),
              "Translate error. Value out of bounds\n" +
                  A("Запись архива № 2, вызов № 2: значение 123456 не помещается в поле SP_KM (N 4) "
                    "таблицы результатов."));
  }
  EXPECT_EQ(Records("tF1232401.DBF.partial"), 1);
  EXPECT_EQ(host_.status, A("Конвертация отменена"));
}

// A reference table in the other code page (the cut and miscounted ones,
// and the archive that counts too few, are the command line's cases): the
// run converts as the table reads and warns, naming it.
TEST_F(ConversionRunTest, AReferenceTableInTheOtherCodePageWarns) {
  std::string archive = Archive("F1232401.DBF", {{"740011"}});
  EXPECT_EQ(Run(archive).warnings, std::vector<std::string>{});
  const std::string lpu = ShownPath(ReferenceTablePath(State(), Lookup::lpu));
  std::string bytes;
  ASSERT_TRUE(platform::ReadWholeFile(lpu, bytes));
  // Every letter of the text moved to where Windows-1251 keeps it.
  const std::size_t header =
      static_cast<unsigned char>(bytes[8]) | std::size_t{static_cast<unsigned char>(bytes[9])} << 8;
  for (std::size_t i = header; i < bytes.size(); ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c >= 0x80 && c <= 0xAF) bytes[i] = static_cast<char>(c + 0x40);
    if (c >= 0xE0 && c <= 0xEF) bytes[i] = static_cast<char>(c + 0x10);
  }
  ASSERT_TRUE(platform::WriteWholeFile(lpu, bytes));
  RunSummary summary = Run(archive);
  EXPECT_EQ(summary.outcome, RunOutcome::Completed);
  ASSERT_EQ(summary.warnings.size(), 1u);
  EXPECT_TRUE(
      AnsiToUtf8(summary.warnings[0])
          .starts_with("Текст таблицы lpu (" + AnsiToUtf8(lpu) + ") похож на кодировку ANSI (Windows-1251)"))
      << AnsiToUtf8(summary.warnings[0]);
}

}  // namespace
}  // namespace velt::testing
