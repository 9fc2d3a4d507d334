#include "cli/command_line.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "cli/console_output.h"
#include "composition/archive_join.h"
#include "conversion/code_page_hint.h"
#include "conversion/conversion_run.h"
#include "conversion/unmapped_report.h"
#include "reference/mapping_preparation.h"
#include "state/startup.h"
#include "support/code_page.h"
#include "support/error.h"
#include "support/file_problem.h"
#include "support/platform.h"
#include "support/run_state.h"

namespace velt {
namespace {

// kDoubtful: the run completed but a warning says its result is doubtful
// (damaged records skipped, an archive cut short, text that looks like the
// other code page, ...), which a script must not take for a clean success.
constexpr int kCompleted = 0;
constexpr int kCancelled = 1;
constexpr int kWrongArguments = 2;
constexpr int kFailed = 3;
constexpr int kDoubtful = 4;

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int) { g_interrupted = 1; }

// Start-up messages on standard error.
class ConsoleStartupHost : public StartupHost {
 public:
  void ShowMessage(const std::string& text) override { PrintError(text); }
};

// An exception that no rule expects (memory exhausted, a library's own
// error) ends the command with a message instead of an abort.
void PrintUnexpected(const std::exception& error) {
  if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr)
    PrintError(VELT_ANSI("Недостаточно памяти для выполнения команды; команда прервана."));
  else
    PrintError(VELT_ANSI("Непредвиденная ошибка, команда прервана: ") + Utf8ToAnsi(error.what()));
}

// Start-up of the main window without the window: paths, mapping tables
// prepared, start line.
void StartHeadless(const std::string& appDir1251) {
  InitialisePaths(appDir1251);
  PrepareAllMappingTablesSilently();
  LogApplicationStarted();
}

struct ConvertOptions {
  std::vector<std::string> archives;  // all arguments UTF-8 as given
  std::string outDir, codePage, appDir, reportPath;
};

std::string ReportNotWritten(const std::string& report1251) {
  return VELT_ANSI("Отчёт о неперекодированных значениях нельзя записать: ") + report1251;
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

// The folders a run writes into are checked before anything starts, so that
// a mistyped --out or --report is found at once, not after the whole run.
bool TargetsWritable(const ConvertOptions& options) {
  if (!AppDirUsable(options.appDir)) return false;
  if (auto problem = FolderWriteProblem(Utf8ToAnsi(options.outDir))) {
    PrintError(VELT_ANSI("Таблицы результатов нельзя записать в папку вывода.") + "\n" + *problem);
    return false;
  }
  if (options.reportPath.empty()) return true;
  const std::string report = Utf8ToAnsi(options.reportPath);
  std::string folder = platform::DirectoryPart(report);
  auto problem = FolderWriteProblem(folder.empty() ? std::string(".") : folder);
  if (!problem && platform::DirectoryExists(report))
    problem = VELT_ANSI("Файл ") + report + VELT_ANSI(": это папка, а не файл.");
  if (!problem) return true;
  PrintError(ReportNotWritten(report) + "\n" + *problem);
  return false;
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

// One archive as one run, its summary printed however it ends.
BatchLine ConvertOne(RunTables& tables, const std::string& archive1251, const std::string& outDir1251,
                     CodePageSource source) {
  const auto hint = CodePageHintForFile(archive1251, State().inputCodePage);
  if (hint) PrintWarning(*hint);
  ConsoleHost host(g_interrupted);
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

// Each archive in turn as its own run; a failing one does not stop the
// others, and the status is the highest of the runs'.
int Convert(const ConvertOptions& options) {
  if (!TargetsWritable(options)) return kFailed;
  StartHeadless(Utf8ToAnsi(options.appDir));
  const auto [codePage, source] = ChooseCodePage(options.codePage);
  State().inputCodePage = codePage;
  std::signal(SIGINT, OnInterrupt);
  RunTables tables;
  std::vector<BatchLine> lines;
  // One archive: the report as the window offers it, none after an error.
  // Several: one file, each row led by its archive; a run that ended with
  // an error adds no rows.
  const bool batch = options.archives.size() > 1;
  std::string report = batch ? kBatchReportHeader : "";
  bool reportDue = batch;
  for (const std::string& archive : options.archives) {
    if (g_interrupted) break;
    lines.push_back(ConvertOne(tables, Utf8ToAnsi(archive), Utf8ToAnsi(options.outDir), source));
    if (lines.back().endedByError) continue;
    report += batch ? UnmappedReportRowsOf(Utf8ToAnsi(archive), LastRunUnmapped())
                    : UnmappedReportCsv(LastRunUnmapped());
    reportDue = true;
  }
  int status = kCompleted;
  for (const BatchLine& line : lines) status = Worse(status, line.status);
  if (lines.size() < options.archives.size()) status = Worse(status, kCancelled);
  if (batch) PrintBatchSummary(lines, status);
  if (!options.reportPath.empty() && reportDue && !WriteUnmappedReport(options.reportPath, report))
    status = kFailed;
  try {
    LogApplicationStopped();
  } catch (const Error& error) {
    PrintError(error.what());
    status = kFailed;
  }
  return status;
}

// The command line's stand-in for the composition window: nothing to draw,
// no events to process.
class ConsoleJoinHost : public JoinHost {
 public:
  void ShowProgress(int) override {}
  void HideProgress() override {}
  void ProcessEvents() override {}
  void ShowMessage(const std::string& text) override { PrintError(text); }
  void NameMissing() override { PrintError(VELT_ANSI("Не задано имя объединенного файла")); }
  void Joined(const std::string&) override {}
};

// The joined table is written into <app-dir>/in under this name: a name
// with a folder part would put it elsewhere.
bool JoinNameAllowed(const std::string& name1251) {
  const bool folderPart = platform::FileNamePart(name1251) != name1251 ||
                          name1251.find('/') != std::string::npos ||
                          name1251.find('\\') != std::string::npos || name1251 == "." || name1251 == "..";
  if (!folderPart) return true;
  PrintError(VELT_ANSI("Имя объединенного файла не должно содержать папку: ") + name1251 +
             VELT_ANSI(". Укажите только имя файла, он будет записан в папку in программы."));
  return false;
}

// A file already listed, by any spelling of its path (other letter case, a
// "./" or a link), is refused with the window's message.
bool AlreadyListed(const std::vector<std::string>& entries, const std::string& entry) {
  return std::any_of(entries.begin(), entries.end(), [&](const std::string& e) {
    return EqualIgnoringCase(e, entry) || platform::SameFile(e, entry);
  });
}

// Lists the files as the composition window would and joins them in the
// window's order.
int Join(const std::vector<std::string>& files, const std::string& name, const std::string& appDir) {
  if (!JoinNameAllowed(Utf8ToAnsi(name))) return kWrongArguments;
  InitialisePaths(Utf8ToAnsi(appDir));
  std::vector<std::string> entries;
  for (const std::string& file : files) {
    std::string entry = Utf8ToAnsi(file);
    if (AlreadyListed(entries, entry)) {
      PrintError(VELT_ANSI("Выбранный файл уже указан в списке") + "\n" + VELT_ANSI("Файл ") + entry +
                 VELT_ANSI(": указан дважды, объединяется один раз."));
      continue;
    }
    entries.push_back(std::move(entry));
  }
  SortIgnoringCase(entries);
  ConsoleJoinHost host;
  return JoinArchives(entries, Utf8ToAnsi(name), host) == JoinOutcome::Joined ? kCompleted : kCancelled;
}

}  // namespace

bool IsCommandLineCall(int argc, char** argv) {
  // Only a start without a command (the window's own --app-dir DIR at most)
  // opens the window; anything else, a mistake too, is answered here.
  if (argc < 2) return false;
  return !(argc == 3 && std::string(argv[1]) == "--app-dir");
}

int RunCommandLine(int argc, char** argv) {
  CLI::App app{"veltconv: converts VELT call archives into intermediate tables for TORAN", "veltconv"};
  app.require_subcommand(1);
  app.set_version_flag("--version", "veltconv " VELT_VERSION);
  const char* exitStatuses =
      "Exit status: 0 every run completed, 1 a run was cancelled or ended early, 2 wrong arguments, 3 an "
      "error ended a run (or a folder to write into cannot be written), 4 a run completed but its result is "
      "doubtful: damaged or missing archive records, the other code page, a table of an earlier run "
      "(a warning on standard error says which). With several archives, the gravest of the runs': 3, then 1, "
      "then 4, then 0.";
  app.footer(exitStatuses);

  ConvertOptions options;
  CLI::App* convert = app.add_subcommand("convert", "convert archive tables, each as a run of its own");
  convert->add_option("ARCHIVE", options.archives, "archive tables F<station><YY><MM>.DBF")->required();
  convert->add_option("--out", options.outDir, "output folder (must exist)")->required();
  convert
      ->add_option("--code-page", options.codePage,
                   "code page of the archive (default: the ini file's, else OEM)")
      ->check(CLI::IsMember({"OEM", "ANSI"}));
  convert->add_option(
      "--app-dir", options.appDir,
      "application folder holding dirstrans/, indexes/ and pavkdirs/ (default: the program's own)");
  convert->add_option("--report", options.reportPath,
                      "write the values that found no mapping here (UTF-8 CSV)");
  convert->footer(exitStatuses);

  std::string joinName, joinAppDir;
  std::vector<std::string> joinFiles;
  CLI::App* join = app.add_subcommand("join", "join archive tables into <app-dir>/in/NAME");
  join->add_option("--name", joinName, "file name of the joined table (no folder part)")->required();
  join->add_option("--app-dir", joinAppDir, "application folder (default: the program's own)");
  join->add_option("FILE", joinFiles, "archive tables to join")->required();

  // `veltconv help [COMMAND]` asks what --help does.
  std::vector<std::string> arguments(argv + 1, argv + argc);
  if (!arguments.empty() && arguments[0] == "help") {
    arguments.erase(arguments.begin());
    arguments.push_back("--help");
  }
  if (!arguments.empty() && !arguments[0].starts_with("-") && arguments[0] != "convert" &&
      arguments[0] != "join") {
    PrintError(VELT_ANSI("Неизвестная команда: ") + Utf8ToAnsi(arguments[0]) +
               VELT_ANSI(". Команды: convert, join; их параметры показывает veltconv --help."));
    return kWrongArguments;
  }
  std::reverse(arguments.begin(), arguments.end());
  try {
    app.parse(arguments);
  } catch (const CLI::ParseError& e) {
    int code = app.exit(e);
    if (code != 0)
      PrintError(
          VELT_ANSI("Ошибка в параметрах команды; справка: veltconv --help, veltconv convert --help."));
    return code == 0 ? 0 : kWrongArguments;
  }
  try {
    if (*convert) return Convert(options);
    return Join(joinFiles, joinName, joinAppDir);
  } catch (const Error& error) {
    PrintError(error.what());
    return kFailed;
  } catch (const std::exception& error) {
    PrintUnexpected(error);
    return kFailed;
  }
}

}  // namespace velt
