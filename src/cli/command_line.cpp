#include "cli/command_line.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "composition/archive_join.h"
#include "conversion/code_page_hint.h"
#include "conversion/conversion_run.h"
#include "conversion/unmapped_report.h"
#include "reference/mapping_preparation.h"
#include "state/startup.h"
#include "support/code_page.h"
#include "support/error.h"
#include "support/platform.h"
#include "support/run_state.h"

namespace velt {
namespace {

// kDamaged: the run completed but skipped damaged archive records, which a
// script must not take for a clean success.
constexpr int kCompleted = 0;
constexpr int kCancelled = 1;
constexpr int kWrongArguments = 2;
constexpr int kFailed = 3;
constexpr int kDamaged = 4;

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int) { g_interrupted = 1; }

void PrintError(const std::string& text1251) { std::fprintf(stderr, "%s\n", AnsiToUtf8(text1251).c_str()); }

// Start-up messages on standard error.
class ConsoleStartupHost : public StartupHost {
 public:
  void ShowMessage(const std::string& text) override { PrintError(text); }
};

// The command line's stand-in for the main window: progress goes nowhere,
// messages go to standard error, Ctrl-C becomes the cancel button.
class ConsoleHost : public RunHost {
 public:
  void ProcessEvents() override {
    if (g_interrupted) State().abortRequested = true;
  }
  void SetMappingMenuEnabled(bool) override {}
  void ShowProgress(bool, int) override {}
  void SetStatus(const std::string&) override {}
  void ShowMessage(const std::string& text) override { PrintError(text); }
  void Warn(const std::string& text) override { PrintWarning(text); }

  static void PrintWarning(const std::string& text1251) {
    std::fprintf(stderr, "%s: %s\n", AnsiToUtf8(VELT_ANSI("Предупреждение")).c_str(),
                 AnsiToUtf8(text1251).c_str());
  }
};

// An exception that no rule expects (memory exhausted, a library's own
// error) ends the command with a message instead of an abort.
void PrintUnexpected(const std::exception& error) {
  if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr)
    PrintError(VELT_ANSI("Недостаточно памяти для выполнения команды; команда прервана."));
  else
    PrintError(VELT_ANSI("Непредвиденная ошибка, команда прервана: ") + Utf8ToAnsi(error.what()));
}

void PrintSummary(const RunSummary& s) {
  const char* outcome = s.outcome == RunOutcome::Completed   ? "completed"
                        : s.outcome == RunOutcome::Cancelled ? "cancelled"
                                                             : "ended early";
  std::printf("Run %s in %.2f s\n", outcome, s.seconds);
  std::printf("  records read:            %lld\n", static_cast<long long>(s.recordsRead));
  std::printf("  written to home region:  %lld\n", static_cast<long long>(s.nativesWritten));
  std::printf("  written to other regions: %lld\n", static_cast<long long>(s.externalsWritten));
  std::printf("  skipped by profile:      %lld\n", static_cast<long long>(s.skipped));
  std::printf("  sent nowhere (region < 0): %lld\n", static_cast<long long>(s.unrouted));
  if (s.damaged > 0)
    std::printf("  damaged records skipped: %lld (first: record %lld)\n", static_cast<long long>(s.damaged),
                static_cast<long long>(s.firstDamaged));
  std::printf("  log lines written:       %lld\n", static_cast<long long>(s.logLines));
}

// Start-up of the main window without the window: paths, mapping tables
// prepared, start line.
void StartHeadless(const std::string& appDir) {
  InitialisePaths(appDir);
  PrepareAllMappingTablesSilently();
  LogApplicationStarted();
}

// The unmapped values of the run as CSV; a file that cannot be written is
// reported and fails the command.
bool WriteUnmappedReport(const std::string& reportPath) {
  if (platform::WriteWholeFile(Utf8ToAnsi(reportPath), UnmappedReportCsv(LastRunUnmapped()))) return true;
  std::fprintf(stderr, "Cannot write the report %s\n", reportPath.c_str());
  return false;
}

int Convert(const std::string& archive, const std::string& outDir, const std::string& codePage,
            const std::string& appDir, const std::string& reportPath) {
  StartHeadless(appDir);
  ConsoleStartupHost startup;
  State().inputCodePage = codePage.empty() ? PersistedCodePage(startup) : codePage;
  if (auto hint = CodePageHintForFile(Utf8ToAnsi(archive), State().inputCodePage))
    ConsoleHost::PrintWarning(*hint);
  std::signal(SIGINT, OnInterrupt);
  RunTables tables;
  ConsoleHost host;
  int status = kFailed;
  try {
    RunSummary summary = RunConversion(tables, host, Utf8ToAnsi(archive), Utf8ToAnsi(outDir));
    PrintSummary(summary);
    status = summary.outcome != RunOutcome::Completed ? kCancelled
             : summary.damaged > 0                    ? kDamaged
                                                      : kCompleted;
    if (!reportPath.empty() && !WriteUnmappedReport(reportPath) && status == kCompleted) status = kFailed;
  } catch (const Error& error) {
    PrintError(error.what());
  } catch (const std::exception& error) {
    PrintUnexpected(error);
  }
  try {
    LogApplicationStopped();
  } catch (const Error& error) {
    PrintError(error.what());
    if (status == kCompleted) status = kFailed;
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

// Lists the files as the composition window would (a file already listed,
// also in other letter case, is refused with the window's message) and joins
// them in the window's order.
int Join(const std::vector<std::string>& files, const std::string& name, const std::string& appDir) {
  InitialisePaths(appDir);
  std::vector<std::string> entries;
  for (const std::string& file : files) {
    std::string entry = Utf8ToAnsi(file);
    bool listed = std::any_of(entries.begin(), entries.end(),
                              [&](const std::string& e) { return EqualIgnoringCase(e, entry); });
    if (listed) {
      PrintError(VELT_ANSI("Выбранный файл уже указан в списке"));
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
  if (argc < 2) return false;
  std::string first = argv[1];
  return first == "convert" || first == "join" || first == "--help" || first == "-h";
}

int RunCommandLine(int argc, char** argv) {
  CLI::App app{"veltconv: converts VELT call archives into intermediate tables for TORAN"};
  app.require_subcommand(1);
  app.footer(
      "Exit status: 0 the run completed, 1 it was cancelled or ended early, 2 wrong arguments, 3 an error "
      "ended it, 4 it completed but skipped damaged archive records (a warning on standard error says "
      "which).");

  std::string archive, outDir, codePage, appDir, reportPath;
  CLI::App* convert = app.add_subcommand("convert", "convert one archive table");
  convert->add_option("ARCHIVE", archive, "the archive table F<station><YY><MM>.DBF")->required();
  convert->add_option("--out", outDir, "output folder")->required();
  convert->add_option("--code-page", codePage, "code page of the archive")
      ->check(CLI::IsMember({"OEM", "ANSI"}));
  convert->add_option("--app-dir", appDir, "application folder (default: the program's own)");
  convert->add_option("--report", reportPath, "write the values that found no mapping here (UTF-8 CSV)");

  std::string joinName, joinAppDir;
  std::vector<std::string> joinFiles;
  CLI::App* join = app.add_subcommand("join", "join archive tables into <app-dir>/in/NAME");
  join->add_option("--name", joinName, "file name of the joined table")->required();
  join->add_option("--app-dir", joinAppDir, "application folder (default: the program's own)");
  join->add_option("FILE", joinFiles, "archive tables to join")->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int code = app.exit(e);
    return code == 0 ? 0 : kWrongArguments;
  }
  try {
    if (*convert) return Convert(archive, outDir, codePage, appDir, reportPath);
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
