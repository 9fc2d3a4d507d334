#include "cli/convert_command.h"

#include <csignal>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/console_output.h"
#include "cli/exit_status.h"
#include "conversion/code_page_hint.h"
#include "conversion/conversion_run.h"
#include "conversion/problem_csv_file.h"
#include "conversion/run_targets.h"
#include "conversion/unmapped_report.h"
#include "reference/mapping_preparation.h"
#include "state/startup.h"
#include "support/code_page.h"
#include "support/error.h"
#include "support/file_problem.h"
#include "support/platform.h"
#include "support/run_state.h"
#include "support/write_target.h"

namespace velt {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int) { g_interrupted = 1; }

// Start-up messages on standard error.
class ConsoleStartupHost : public StartupHost {
 public:
  void ShowMessage(const std::string& text) override { PrintError(text); }
};

// Start-up of the main window without the window, its paths already set:
// mapping tables prepared, start line.
void StartHeadless() {
  PrepareAllMappingTablesSilently();
  LogApplicationStarted();
}

std::string ReportNotWritten(const std::string& report1251) {
  return VELT_ANSI("Отчёт о неперекодированных значениях нельзя записать: ") + report1251;
}

std::string ProblemsNotWritten(const std::string& problems1251) {
  return VELT_ANSI("Список проблемных вызовов нельзя записать: ") + problems1251;
}

// The program folder holds the event log, the ini file and the indexes: a
// mistyped --app-dir is named as such, not as a log that cannot be written.
bool AppDirUsable(const std::string& appDir) {
  if (appDir.empty()) return true;
  auto problem = FolderWriteProblem(Utf8ToAnsi(appDir));
  if (!problem) return true;
  PrintError(VELT_ANSI("Папка программы (--app-dir) не подходит: в ней ведётся журнал и строятся индексы.") +
             "\n" + *problem);
  return false;
}

// Why a file named on the command line cannot be written where it is
// named, if it cannot.
std::optional<std::string> FileTargetProblem(const std::string& file1251) {
  std::string folder = platform::DirectoryPart(file1251);
  auto problem = FolderWriteProblem(folder.empty() ? std::string(".") : folder);
  if (!problem && platform::DirectoryExists(file1251))
    problem = VELT_ANSI("Файл ") + file1251 + VELT_ANSI(": это папка, а не файл.");
  return problem;
}

// The folders a run writes into are checked before anything starts, so that
// a mistyped --out, --report or --problems is found at once, not after the
// whole run.
bool TargetsWritable(const ConvertOptions& options) {
  if (!AppDirUsable(options.appDir)) return false;
  if (auto problem = FolderWriteProblem(Utf8ToAnsi(options.outDir))) {
    PrintError(VELT_ANSI("Таблицы результатов нельзя записать в папку вывода.") + "\n" + *problem);
    return false;
  }
  const std::pair<const std::string*, std::string (*)(const std::string&)> files[] = {
      {&options.reportPath, ReportNotWritten}, {&options.problemsPath, ProblemsNotWritten}};
  for (const auto& [path, notWritten] : files) {
    if (path->empty()) continue;
    const std::string file = Utf8ToAnsi(*path);
    if (auto problem = FileTargetProblem(file)) {
      PrintError(notWritten(file) + "\n" + *problem);
      return false;
    }
  }
  return true;
}

// The code page of the runs and where it came from. ANSI taken from the ini
// file is said aloud, since a script did not ask for it and 866 is what an
// archive normally holds (the window stores its choice there, OEM too).
std::pair<std::string, CodePageSource> ChooseCodePage(const std::string& argument) {
  if (!argument.empty()) return {argument, CodePageSource::Argument};
  ConsoleStartupHost startup;
  const std::string stored = StoredCodePage(startup);
  if (stored.empty()) return {"OEM", CodePageSource::Default};
  if (stored == "ANSI")
    PrintWarning(VELT_ANSI("Кодировка архива взята из файла настроек ") + ShownPath(IniFilePath()) + ": " +
                 stored + VELT_ANSI(". Укажите --code-page OEM или ANSI, чтобы задать её явно."));
  return {stored, CodePageSource::IniFile};
}

// A completed run that warned (damaged or missing records, the other code
// page, a table left from before) is no clean success.
bool AnsiFromIni(CodePageSource source) {
  return source == CodePageSource::IniFile && State().inputCodePage == "ANSI";
}

// The graver of two runs' statuses: an error above a cancel or an early
// end, that above a doubtful completion, that above a clean one. A failed
// archive of several must never hide behind another's warning.
int Worse(int a, int b) {
  auto rank = [](int status) {
    switch (status) {
      case kCompleted:
        return 0;
      case kDoubtful:
        return 1;
      case kCancelled:
        return 2;
      default:
        return 3;
    }
  };
  return rank(b) > rank(a) ? b : a;
}

int StatusOf(const RunSummary& summary, bool warned) {
  return summary.outcome != RunOutcome::Completed ? kCancelled
         : summary.damaged > 0 || warned          ? kDoubtful
                                                  : kCompleted;
}

// One archive as one run, its summary printed however it ends; its problem
// calls go to `problems` as they come when it is given, also those of a
// run that an error ends.
BatchLine ConvertOne(RunTables& tables, const std::string& archive1251, const std::string& outDir1251,
                     CodePageSource source, ProblemCsvFile* problems) {
  const auto hint = CodePageHintForFile(archive1251, State().inputCodePage);
  if (hint) PrintWarning(*hint);
  ConsoleHost host(g_interrupted);
  host.SetProblemsFile(problems);
  if (problems != nullptr) problems->SetArchive(archive1251);
  BatchLine line{archive1251, kFailed, {}};
  try {
    RunConversion(tables, host, archive1251, outDir1251, &line.summary);
    line.status = StatusOf(line.summary, hint || AnsiFromIni(source) || host.Warnings() > 0);
    line.endedByError = false;
  } catch (const Error& error) {
    PrintError(error.what());
  } catch (const std::exception& error) {
    PrintUnexpected(error);
  }
  PrintRunSummary(line.summary, archive1251, source, State().logFilePath);
  // Out at once, so that the summary stays between the messages of its run
  // and of the next when both streams go to one file.
  std::fflush(stdout);
  return line;
}

// The unmapped values of the runs as CSV; a file that cannot be written is
// reported and fails the command.
bool WriteUnmappedReport(const std::string& reportPath, const std::string& csv) {
  if (platform::WriteWholeFile(Utf8ToAnsi(reportPath), csv)) return true;
  PrintError(ReportNotWritten(Utf8ToAnsi(reportPath)) + "\n" + FileWriteProblem(Utf8ToAnsi(reportPath)));
  return false;
}

// The problem calls of the runs in place; a file that cannot be written is
// reported and fails the command.
bool CommitProblemCalls(ProblemCsvFile& problems) {
  if (problems.Commit()) return true;
  PrintError(ProblemsNotWritten(problems.Path()) + "\n" + FileWriteProblem(problems.Path()));
  return false;
}

std::vector<std::string> ArchivesIn1251(const ConvertOptions& options) {
  std::vector<std::string> archives;
  for (const std::string& archive : options.archives) archives.push_back(Utf8ToAnsi(archive));
  return archives;
}

// Before any run: no archive listed twice, and nothing the command writes
// lands on what it reads or on something that is no regular file. The
// status that refuses the command, 0 when it may go on.
int RefusalOfFiles(const ConvertOptions& options, const std::vector<std::string>& archives) {
  if (auto repeated = RepeatedArchive(archives)) {
    PrintError(*repeated);
    return kWrongArguments;
  }
  WriteTargets targets;
  AddRunFiles(targets, archives, Utf8ToAnsi(options.outDir));
  targets.Reads(IniFilePath(), VELT_ANSI("файл настроек"));
  if (!options.reportPath.empty())
    targets.Writes(Utf8ToAnsi(options.reportPath), VELT_ANSI("отчёт --report"));
  if (!options.problemsPath.empty())
    targets.Writes(Utf8ToAnsi(options.problemsPath), VELT_ANSI("список проблемных вызовов --problems"));
  const auto problem = targets.Check();
  if (!problem) return kCompleted;
  PrintError(problem->Text());
  return problem->clash ? kWrongArguments : kFailed;
}

// The graver of the command's status and an interrupt: Ctrl-C ends the
// command as the shell's convention has it, unless an error came first.
int WithInterrupt(int status) {
  if (!g_interrupted || status == kFailed) return status;
  return kInterrupted;
}

}  // namespace

// Each archive in turn as its own run; a failing one does not stop the
// others, and the status is the gravest of the runs'.
int Convert(const ConvertOptions& options) {
  if (!TargetsWritable(options)) return kFailed;
  InitialisePaths(Utf8ToAnsi(options.appDir));
  const std::vector<std::string> archives = ArchivesIn1251(options);
  if (const int refused = RefusalOfFiles(options, archives); refused != kCompleted) return refused;
  StartHeadless();
  const auto [codePage, source] = ChooseCodePage(options.codePage);
  State().inputCodePage = codePage;
  std::signal(SIGINT, OnInterrupt);
  RunTables tables;
  std::vector<BatchLine> lines;
  // One archive: the report as the window offers it, none after an error.
  // Several: one file, each row led by its archive; a run that ended with
  // an error adds no rows.
  const bool batch = archives.size() > 1;
  const char separator = options.csvSeparator;
  std::string report = batch ? BatchReportStart(separator) : "";
  bool reportDue = batch;
  // The problem calls of every run, as the event log has them: one that an
  // error ended too.
  std::optional<ProblemCsvFile> problems;
  if (!options.problemsPath.empty()) problems.emplace(Utf8ToAnsi(options.problemsPath), batch, separator);
  for (const std::string& archive : archives) {
    if (g_interrupted) break;
    lines.push_back(
        ConvertOne(tables, archive, Utf8ToAnsi(options.outDir), source, problems ? &*problems : nullptr));
    // Without --report nothing is gathered: a huge archive's values would
    // cost time and memory for no one.
    if (lines.back().endedByError || options.reportPath.empty()) continue;
    const UnmappedReport& unmapped = lines.back().summary.unmapped;
    report +=
        batch ? UnmappedReportRowsOf(archive, unmapped, separator) : UnmappedReportCsv(unmapped, separator);
    reportDue = true;
  }
  int status = kCompleted;
  for (const BatchLine& line : lines) status = Worse(status, line.status);
  if (lines.size() < options.archives.size()) status = Worse(status, kCancelled);
  if (batch) PrintBatchSummary(lines, WithInterrupt(status));
  if (!options.reportPath.empty() && reportDue && !WriteUnmappedReport(options.reportPath, report))
    status = kFailed;
  if (problems && !CommitProblemCalls(*problems)) status = kFailed;
  try {
    LogApplicationStopped();
  } catch (const Error& error) {
    PrintError(error.what());
    status = kFailed;
  }
  return WithInterrupt(status);
}

}  // namespace velt
