#include "cli/command_line.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <utility>
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

// The join's cancel while `join` runs, for Ctrl-C. A store to a lock-free
// atomic is one of the few things a signal handler may do; the join reads
// the request between the blocks of an append, so a long table stops
// soon too.
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<CancelToken*>::is_always_lock_free);
std::atomic<CancelToken*> g_joinCancel{nullptr};
volatile std::sig_atomic_t g_joinInterrupted = 0;

extern "C" void OnJoinInterrupt(int) {
  g_joinInterrupted = 1;
  if (CancelToken* cancel = g_joinCancel.load()) cancel->Request();
}

// The command line's stand-in for the composition window: nothing to draw.
class ConsoleJoinHost : public JoinHost {
 public:
  ConsoleJoinHost() {
    g_joinCancel.store(&Cancel());
    std::signal(SIGINT, OnJoinInterrupt);
  }
  ~ConsoleJoinHost() override {
    std::signal(SIGINT, SIG_DFL);
    g_joinCancel.store(nullptr);
  }
  ConsoleJoinHost(const ConsoleJoinHost&) = delete;
  ConsoleJoinHost& operator=(const ConsoleJoinHost&) = delete;

  void ShowProgress(int) override {}
  void HideProgress() override {}
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
int RefusalOf(const std::optional<WriteProblem>& problem) {
  if (!problem) return kCompleted;
  PrintError(problem->Text());
  return problem->clash ? kWrongArguments : kFailed;
}

// The joined table is a new file written beside the program's log; the
// archives are only read.
int JoinTargetsRefusal(const std::vector<std::string>& entries, const std::string& name1251) {
  return RefusalOf(JoinTargetsProblem(entries, name1251));
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
  switch (JoinArchives(entries, Utf8ToAnsi(name), host)) {
    case JoinOutcome::Joined:
      return kCompleted;
    case JoinOutcome::Failed:
      return kFailed;
    case JoinOutcome::Cancelled:
      return g_joinInterrupted ? kInterrupted : kCancelled;
    default:
      return kCancelled;
  }
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
  if (const int refused = RefusalOf(targets.Check()); refused != kCompleted) return refused;
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
                  "разделитель полей в записываемых файлах CSV: ';' (Excel с русскими настройками) или "
                  "',' (по умолчанию ',')")
      ->check(CLI::IsMember({";", ","}));
}

}  // namespace

bool IsCommandLineCall(int argc, char** argv) {
  // Only a start without a command opens the window: the window's own
  // --app-dir DIR at most, and archive tables (*.dbf), which Windows passes
  // when tables are dropped on the program's icon or opened with it.
  // Anything else, a mistake too, is answered here.
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--app-dir" && i + 1 < argc) {
      ++i;
      continue;
    }
    const bool table = argument.size() > 4 && argument[0] != '-' &&
                       EqualIgnoringCase(argument.substr(argument.size() - 4), ".dbf");
    if (!table) return true;
  }
  return false;
}

// The help's own words (headings, the help flag) in Russian; the commands
// made afterwards take them from the program.
void SpeakRussian(CLI::App& app) {
  app.set_help_flag("-h,--help", "показать эту справку и выйти");
  app.option_defaults()->group("Параметры");
  auto formatter = app.get_formatter();
  for (const auto& [label, text] :
       std::initializer_list<std::pair<const char*, const char*>>{{"Usage", "Запуск"},
                                                                  {"OPTIONS", "ПАРАМЕТРЫ"},
                                                                  {"SUBCOMMAND", "КОМАНДА"},
                                                                  {"SUBCOMMANDS", "КОМАНДЫ"},
                                                                  {"Positionals", "Аргументы"},
                                                                  {"REQUIRED", "(обязательно)"},
                                                                  {"TEXT", "ТЕКСТ"},
                                                                  {"Needs", "Требует"},
                                                                  {"Excludes", "Исключает"}})
    formatter->label(label, text);
}

int RunCommandLine(int argc, char** argv) {
  CLI::App app{"veltconv: перекодирует архивы вызовов ВЕЛТ в промежуточные таблицы для ТОРАН", "veltconv"};
  SpeakRussian(app);
  app.require_subcommand(1);
  app.set_version_flag("--version", "veltconv " VELT_VERSION_TEXT, "показать версию программы и выйти");
  const char* exitStatuses =
      "Код завершения: 0 все запуски выполнены; 1 запуск прерван, потому что входные данные нельзя "
      "использовать; 2 ошибка в параметрах (также архив, указанный дважды, или файл для записи, который "
      "команда ещё и читает или пишет иначе); 3 запуск прервала ошибка или файл либо папку для записи "
      "нельзя записать; 4 запуск выполнен, но результат сомнителен: повреждённые или пропущенные записи "
      "архива, повреждённый справочник, другая кодировка, таблица прежнего запуска (предупреждение в "
      "стандартном потоке ошибок говорит, что именно); 130 Ctrl+C. При нескольких архивах — самый "
      "тяжёлый из кодов запусков: 3, затем 130, 1, 4, 0.";
  app.footer("Коды завершения каждой команды показывает её --help.");

  ConvertOptions options;
  CLI::App* convert =
      app.add_subcommand("convert", "перекодировать таблицы архива, каждую отдельным запуском");
  convert->group("Команды");
  convert->add_option("ARCHIVE", options.archives, "таблицы архива F<станция><ГГ><ММ>.DBF")->required();
  convert->add_option("--out", options.outDir, "папка для результатов (должна существовать)")->required();
  convert
      ->add_option("--code-page", options.codePage,
                   "кодировка архива (по умолчанию — из ini-файла, иначе OEM)")
      ->check(CLI::IsMember({"OEM", "ANSI"}));
  convert->add_option(
      "--app-dir", options.appDir,
      "папка программы с dirstrans/, indexes/ и pavkdirs/ (по умолчанию — папка самой программы)");
  convert->add_option("--report", options.reportPath,
                      "записать сюда значения, для которых нет связки (CSV в UTF-8)");
  convert->add_option("--problems", options.problemsPath,
                      "записать сюда вызовы с ошибками в группах полей (CSV в UTF-8, в порядке журнала)");
  std::string convertSeparator = ",";
  AddSeparatorOption(*convert, convertSeparator);
  convert->footer(exitStatuses);

  std::string joinName, joinAppDir;
  std::vector<std::string> joinFiles;
  CLI::App* join = app.add_subcommand("join", "объединить таблицы архива в <папка программы>/in/ИМЯ");
  join->group("Команды");
  join->add_option("--name", joinName, "имя файла объединённой таблицы (без папки)")->required();
  join->add_option("--app-dir", joinAppDir, "папка программы (по умолчанию — папка самой программы)");
  join->add_option("FILE", joinFiles, "объединяемые таблицы архива")->required();
  join->footer(
      "Код завершения: 0 объединено; 1 не объединено (файл не читается или объединённую таблицу нельзя "
      "записать; стандартный поток ошибок говорит, какой); 2 ошибка в параметрах (также объединённая "
      "таблица, совпадающая с одним из файлов или с журналом); 3 ошибка, или файл для записи — не обычный "
      "файл или не записывается; 130 прервано Ctrl-C (прежняя объединённая таблица не изменена).");

  std::string mappingName, mappingFile, mappingAppDir, mappingSeparator = ",";
  CLI::App* mapping =
      app.add_subcommand("mapping", "выгрузить или загрузить одну таблицу связок в CSV (UTF-8)");
  mapping->group("Команды");
  mapping->require_subcommand(1);
  for (const char* verb : {"export", "import"}) {
    CLI::App* sub = mapping->add_subcommand(
        verb, std::string(verb) == "export"
                  ? "записать строки таблицы в FILE"
                  : "влить строки FILE в таблицу (ключи сохраняются, новые ключи добавляются)");
    sub->group("Команды");
    sub->add_option("NAME", mappingName, "tr_reas, tr_reas1, tr_from, tr_rslt, tr_vid, tr_lpu или tr_trag")
        ->required();
    sub->add_option("FILE", mappingFile, "файл CSV с заголовком VELTCODE,VELTNAME,PAVK (';' или ',')")
        ->required();
    sub->add_option("--app-dir", mappingAppDir, "папка программы (по умолчанию — папка самой программы)");
    // An import reads either separator.
    if (std::string(verb) == "export") AddSeparatorOption(*sub, mappingSeparator);
    sub->footer(
        "Код завершения: 0 выполнено; 2 ошибка в параметрах (также FILE, который и есть таблица связок); "
        "3 ошибка: неверная строка, таблица занята другой программой, файл не читается или не "
        "записывается (стандартный поток ошибок говорит, какой и почему).");
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
