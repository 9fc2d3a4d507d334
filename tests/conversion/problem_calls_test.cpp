// The problem calls of a run against the log lines of the same run (same
// calls, same messages, same order), their groups and their CSV.
#include "conversion/problem_calls.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "conversion/call_timing.h"
#include "conversion/conversion_run.h"
#include "support/code_page.h"
#include "support/platform.h"
#include "support/run_state.h"
#include "support_files/fake_run_host.h"
#include "support_files/temp_dir.h"

namespace velt::testing {
namespace {

namespace fs = std::filesystem;

const std::string kSampleApp = std::string(VELT_SOURCE_DIR) + "/data/sample/app";
const std::string kSampleArchive = std::string(VELT_SOURCE_DIR) + "/data/sample/archives/F1232401.DBF";
constexpr std::size_t kStampLength = 22;  // "dd.mm.yyyy, hh:nn:ss. "

TEST(ProblemCallsTest, FollowTheLogLinesOfTheirRun) {
  TempDir dir;
  fs::copy(kSampleApp, dir.Path() + "app", fs::copy_options::recursive);
  fs::create_directories(dir.Path() + "out");
  DerivePaths(State(), dir.Path() + "app", "veltconv");
  State().inputCodePage = "OEM";
  RunTables tables;
  FakeRunHost host;
  const RunSummary summary = RunConversion(tables, host, kSampleArchive, dir.Path() + "out");

  std::string log;
  ASSERT_TRUE(platform::ReadWholeFile(State().logFilePath, log));
  std::vector<std::string> logged;
  std::istringstream lines(log);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.compare(kStampLength, 8, A(" Вызов №")) == 0) logged.push_back(line.substr(kStampLength));
  }
  ASSERT_FALSE(logged.empty()) << "the sample archive has calls that fail";
  const ProblemCalls& problems = summary.problems;
  ASSERT_EQ(problems.Calls().size(), logged.size());

  Table archive;
  archive.SetOEMTranslate(true);
  archive.SetTableName(kSampleArchive);
  archive.Open();
  for (std::size_t i = 0; i < logged.size(); ++i) {
    const ProblemCall& call = problems.Calls()[i];
    EXPECT_EQ(A(" Вызов №") + call.call + problems.Message(call.message), logged[i]) << i;
    // The record number leads to the call's own record.
    archive.GoTo(call.record);
    EXPECT_EQ(archive.FieldByName("NGOD").AsString(), call.call);
    EXPECT_EQ(archive.FieldByName("FAM").AsString(), call.surname);
    EXPECT_EQ(CallDateText(archive.FieldByName("DPRM").AsString()), call.date);
  }
  // Most calls first; the counts add up to the rows.
  std::int64_t total = 0, previous = INT64_MAX;
  for (const ProblemGroup& group : problems.Groups()) {
    EXPECT_LE(group.calls, previous);
    previous = group.calls;
    total += group.calls;
  }
  EXPECT_EQ(total, static_cast<std::int64_t>(logged.size()));
}

TEST(ProblemCallsTest, CsvKeepsTheLoggedTextAndNamesTheArchiveWhenAsked) {
  ProblemCalls problems;
  problems.Add(7, "12", "01.02.2024", A("Иванов"), A(": Неверная дата рождения."));
  problems.Add(9, "13", "", "", A(" - неверная дата приема вызова "));
  std::string batch = ProblemCsvStart(true, ',');
  AppendProblemCsvRows(batch, problems, true, ',', A("F1232401.DBF"));
  EXPECT_EQ(batch,
            "\xEF\xBB\xBF"
            "archive,record,call,date,surname,problem\r\n"
            "F1232401.DBF,7,12,01.02.2024,Иванов,: Неверная дата рождения.\r\n"
            "F1232401.DBF,9,13,,, - неверная дата приема вызова \r\n");
  EXPECT_EQ(ProblemText(problems.Message(1)), A("неверная дата приема вызова"));
  // The date column reads DPRM as the call date group does.
  EXPECT_EQ(CallDateText("240229"), "29.02.2024");
  EXPECT_EQ(CallDateText("240230"), "240230");
}

}  // namespace
}  // namespace velt::testing
