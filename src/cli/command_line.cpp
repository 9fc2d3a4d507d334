#include "cli/command_line.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/console_output.h"
#include "cli/convert_command.h"
#include "cli/exit_status.h"
#include "composition/archive_join.h"
#include "reference/mapping_exchange.h"
#include "reference/mapping_files.h"
#include "state/startup.h"
#include "support/code_page.h"
#include "support/error.h"
#include "support/platform.h"
#include "support/run_state.h"
#include "support/text.h"
#include "support/write_target.h"
#include "velt_version.h"

namespace velt {
namespace {

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

// The write-target rule before anything is written: the status that
// refuses the command, 0 when it may go on.
int RefusalOf(const WriteTargets& targets) {
  const auto problem = targets.Check();
  if (!problem) return kCompleted;
  PrintError(problem->Text());
  return problem->clash ? kWrongArguments : kFailed;
}

// The joined table is a new file written beside the program's log; the
// archives are only read.
int JoinTargetsRefusal(const std::vector<std::string>& entries, const std::string& name1251) {
  WriteTargets targets;
  for (const std::string& entry : entries) targets.Reads(entry, VELT_ANSI("объединяемый архив"));
  // No name is the join's own message.
  if (!Trim(name1251).empty()) targets.Writes(JoinedFilePath(name1251), VELT_ANSI("объединённая таблица"));
  targets.Writes(State().logFilePath, VELT_ANSI("журнал событий"));
  return RefusalOf(targets);
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
  if (const int refused = JoinTargetsRefusal(entries, Utf8ToAnsi(name)); refused != kCompleted)
    return refused;
  ConsoleJoinHost host;
  return JoinArchives(entries, Utf8ToAnsi(name), host) == JoinOutcome::Joined ? kCompleted : kCancelled;
}

// `mapping export|import NAME FILE`: one mapping table to or from CSV.
int ExchangeMapping(bool import, const std::string& name, const std::string& file, const std::string& appDir,
                    char separator) {
  const int kind = MappingKindByName(name);
  if (kind == 0) {
    PrintError(VELT_ANSI("Неизвестная таблица связок «") + Utf8ToAnsi(name) +
               VELT_ANSI("»: ожидается tr_reas, tr_reas1, tr_from, tr_rslt, tr_vid, tr_lpu или tr_trag."));
    return kWrongArguments;
  }
  InitialisePaths(Utf8ToAnsi(appDir));
  WriteTargets targets;
  const std::string table = MappingTablePath(kind);
  if (import) {
    targets.Reads(Utf8ToAnsi(file), VELT_ANSI("загружаемый файл CSV"));
    targets.Writes(table, VELT_ANSI("таблица связок"));
  } else {
    targets.Reads(table, VELT_ANSI("таблица связок"));
    targets.Writes(Utf8ToAnsi(file), VELT_ANSI("выгружаемый файл CSV"));
  }
  if (const int refused = RefusalOf(targets); refused != kCompleted) return refused;
  if (!import) {
    const int rows = ExportMappingFile(kind, Utf8ToAnsi(file), separator);
    std::printf("%s\n", AnsiToUtf8(MappingExportDone(Utf8ToAnsi(file), rows)).c_str());
    return kCompleted;
  }
  const MappingImportCount count = ImportMappingFile(kind, Utf8ToAnsi(file));
  std::printf("%s\n", AnsiToUtf8(VELT_ANSI("Изменено строк: ") + std::to_string(count.updated) +
                                 VELT_ANSI(", добавлено: ") + std::to_string(count.appended))
                          .c_str());
  return kCompleted;
}

// `--csv-separator` of the commands that write CSV files.
void AddSeparatorOption(CLI::App& command, std::string& separator) {
  command
      .add_option("--csv-separator", separator,
                  "field separator of the CSV files written: ';' (Excel in a Russian locale) or ',' "
                  "(default ',')")
      ->check(CLI::IsMember({";", ","}));
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
  app.set_version_flag("--version", "veltconv " VELT_VERSION_TEXT);
  const char* exitStatuses =
      "Exit status: 0 every run completed, 1 a run ended early because its input cannot be used, 2 wrong "
      "arguments (also an archive listed twice, or a file to write that the command also reads or writes "
      "otherwise), 3 an error ended a run or a file or folder to write into cannot be written, 4 a run "
      "completed but its result is doubtful: damaged or missing archive records, a damaged reference "
      "table, the other code page, a table of an earlier run (a warning on standard error says which), "
      "130 Ctrl-C. With several archives, the gravest of the runs': 3, then 130, then 1, then 4, then 0.";
  app.footer("Each command's --help lists its exit statuses.");

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
  convert->add_option("--problems", options.problemsPath,
                      "write the calls whose field groups failed here (UTF-8 CSV, in the log's order)");
  std::string convertSeparator = ",";
  AddSeparatorOption(*convert, convertSeparator);
  convert->footer(exitStatuses);

  std::string joinName, joinAppDir;
  std::vector<std::string> joinFiles;
  CLI::App* join = app.add_subcommand("join", "join archive tables into <app-dir>/in/NAME");
  join->add_option("--name", joinName, "file name of the joined table (no folder part)")->required();
  join->add_option("--app-dir", joinAppDir, "application folder (default: the program's own)");
  join->add_option("FILE", joinFiles, "archive tables to join")->required();
  join->footer(
      "Exit status: 0 joined, 1 not joined (a file cannot be read or the joined table cannot be written; "
      "standard error says which), 2 wrong arguments (also a joined table that is one of the files or the "
      "log), 3 an error, or a file to write that is no regular file or cannot be written.");

  std::string mappingName, mappingFile, mappingAppDir, mappingSeparator = ",";
  CLI::App* mapping = app.add_subcommand("mapping", "export or import one mapping table as UTF-8 CSV");
  mapping->require_subcommand(1);
  for (const char* verb : {"export", "import"}) {
    CLI::App* sub = mapping->add_subcommand(
        verb, std::string(verb) == "export"
                  ? "write the table's rows to FILE"
                  : "merge FILE's rows into the table (keys kept, new keys appended)");
    sub->add_option("NAME", mappingName, "tr_reas, tr_reas1, tr_from, tr_rslt, tr_vid, tr_lpu or tr_trag")
        ->required();
    sub->add_option("FILE", mappingFile, "CSV file with the header VELTCODE,VELTNAME,PAVK (';' or ',')")
        ->required();
    sub->add_option("--app-dir", mappingAppDir, "application folder (default: the program's own)");
    // An import reads either separator.
    if (std::string(verb) == "export") AddSeparatorOption(*sub, mappingSeparator);
    sub->footer(
        "Exit status: 0 done, 2 wrong arguments (also a FILE that is the mapping table itself), 3 an error: "
        "a bad row, a table held elsewhere, a file that cannot be read or written (standard error says "
        "which and why).");
  }

  // `veltconv help [COMMAND]` asks what --help does.
  std::vector<std::string> arguments(argv + 1, argv + argc);
  if (!arguments.empty() && arguments[0] == "help") {
    arguments.erase(arguments.begin());
    arguments.push_back("--help");
  }
  if (!arguments.empty() && !arguments[0].starts_with("-") && arguments[0] != "convert" &&
      arguments[0] != "join" && arguments[0] != "mapping") {
    PrintError(VELT_ANSI("Неизвестная команда: ") + Utf8ToAnsi(arguments[0]) +
               VELT_ANSI(". Команды: convert, join, mapping; их параметры показывает veltconv --help."));
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
    if (*convert) {
      options.csvSeparator = convertSeparator[0];
      return Convert(options);
    }
    if (*mapping)
      return ExchangeMapping(mapping->got_subcommand("import"), mappingName, mappingFile, mappingAppDir,
                             mappingSeparator[0]);
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
