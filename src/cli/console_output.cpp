#include "cli/console_output.h"

#include <cstdio>
#include <exception>
#include <new>
#include <vector>

#include "support/code_page.h"
#include "support/file_problem.h"
#include "support/platform.h"

namespace velt {
namespace {

void Out(const std::string& text1251) { std::fputs(AnsiToUtf8(text1251).c_str(), stdout); }

std::string Count(std::int64_t n) { return std::to_string(n); }

std::string OutcomeWord(const RunSummary& s) {
  if (s.outcome == RunOutcome::Completed) return VELT_ANSI("выполнена");
  return s.outcome == RunOutcome::Cancelled ? VELT_ANSI("отменена") : VELT_ANSI("прервана");
}

// A run that did not complete leaves the tables it began partial.
std::string PartialText(const RunSummary& s) {
  const bool partial = !s.nativesPath.empty() || !s.externalsPath.empty();
  return s.outcome != RunOutcome::Completed && partial ? VELT_ANSI(", таблицы неполные") : std::string();
}

std::string OutcomeText(const RunSummary& s) { return OutcomeWord(s) + PartialText(s); }

std::string CodePageText(const std::string& codePage, CodePageSource source) {
  std::string text = codePage == "ANSI" ? "ANSI (Windows-1251)" : "OEM (866)";
  switch (source) {
    case CodePageSource::Argument:
      return text + VELT_ANSI(", задана в --code-page");
    case CodePageSource::IniFile:
      return text + VELT_ANSI(", взята из файла настроек");
    default:
      return text + VELT_ANSI(", по умолчанию");
  }
}

void TableLine(const std::string& path, std::int64_t records) {
  if (path.empty()) return;
  Out(VELT_ANSI("  таблица ") + ShownPath(path) + ": " + Count(records) + VELT_ANSI(" зап.\n"));
}

}  // namespace

void PrintError(const std::string& text1251) { std::fprintf(stderr, "%s\n", AnsiToUtf8(text1251).c_str()); }

// An exception that no rule expects (memory exhausted, a library's own
// error) ends the command with a message instead of an abort.
void PrintUnexpected(const std::exception& error) {
  if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr)
    PrintError(VELT_ANSI("Недостаточно памяти для выполнения команды; команда прервана."));
  else
    PrintError(VELT_ANSI("Непредвиденная ошибка, команда прервана: ") + Utf8ToAnsi(error.what()));
}

void PrintWarning(const std::string& text1251) {
  std::fprintf(stderr, "%s: %s\n", AnsiToUtf8(VELT_ANSI("Предупреждение")).c_str(),
               AnsiToUtf8(text1251).c_str());
}

ConsoleHost::ConsoleHost(const volatile std::sig_atomic_t& interrupted)
    : interrupted_(interrupted),
      showProgress_(platform::StderrIsTerminal()),
      started_(std::chrono::steady_clock::now()) {}

// The signal handler may only set its flag: the run's cancel is requested
// here, on the run's own thread.
void ConsoleHost::Checkpoint() {
  if (interrupted_) Cancel().Request();
}

void ConsoleHost::ShowProgress(bool visible, int position) {
  position_ = position;
  if (!visible) EndProgressLine();
}

void ConsoleHost::Progress(std::int64_t recNo, std::int64_t) {
  if (!showProgress_) return;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  const long long rate = seconds > 0 ? static_cast<long long>(static_cast<double>(recNo) / seconds) : 0;
  std::fprintf(stderr, "\r%s %3d%%, %lld %s   ", AnsiToUtf8(VELT_ANSI("Конвертация:")).c_str(), position_,
               rate, AnsiToUtf8(VELT_ANSI("вызовов/с")).c_str());
  std::fflush(stderr);
  lineOpen_ = true;
}

void ConsoleHost::ShowMessage(const std::string& text) {
  EndProgressLine();
  PrintError(text);
}

void ConsoleHost::PrepareProblems(ProblemCalls& problems) {
  if (problemsFile_ == nullptr) return;
  problems.SetKeptLimit(0);
  problems.SetSink([file = problemsFile_](const ProblemCall& call, const std::string& message) {
    file->Add(call, message);
  });
}

void ConsoleHost::Warn(const std::string& text) {
  ++warnings_;
  EndProgressLine();
  PrintWarning(text);
}

void ConsoleHost::EndProgressLine() {
  if (!lineOpen_) return;
  std::fputc('\n', stderr);
  lineOpen_ = false;
}

void PrintRunSummary(const RunSummary& s, const std::string& archive1251, CodePageSource source,
                     const std::string& logPath1251) {
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.2f", s.seconds);
  Out(VELT_ANSI("Конвертация ") + archive1251 + " " + OutcomeWord(s) + VELT_ANSI(" за ") + seconds +
      VELT_ANSI(" с") + PartialText(s) + "\n");
  Out(VELT_ANSI("  кодировка архива: ") + CodePageText(s.codePage, source) + "\n");
  // A run that ended before its first call has nothing more to count.
  if (s.outcome != RunOutcome::Completed && s.recordsRead == 0 && s.nativesPath.empty() &&
      s.externalsPath.empty())
    return;
  Out(VELT_ANSI("  прочитано вызовов: ") + Count(s.recordsRead) + "\n");
  TableLine(s.nativesPath, s.nativesWritten);
  TableLine(s.externalsPath, s.externalsWritten);
  if (s.nativesPath.empty() && s.externalsPath.empty()) Out(VELT_ANSI("  таблицы не созданы\n"));
  Out(VELT_ANSI("  не записаны по профилю вызова (PROF): ") + Count(s.skipped) + "\n");
  Out(VELT_ANSI("  не записаны, код региона в SMO отрицательный: ") + Count(s.unrouted) + "\n");
  if (s.damaged > 0)
    Out(VELT_ANSI("  пропущено повреждённых записей: ") + Count(s.damaged) + VELT_ANSI(" (первая - № ") +
        Count(s.firstDamaged) + ")\n");
  Out(VELT_ANSI("  вызовов с ошибками в журнале: ") + Count(s.callsLogged) + " (" + ShownPath(logPath1251) +
      ")\n");
}

void PrintBatchSummary(const std::vector<BatchLine>& lines, int status) {
  Out(VELT_ANSI("Итого по архивам:\n"));
  RunSummary total;
  for (const BatchLine& line : lines) {
    const RunSummary& s = line.summary;
    Out("  " + line.archive1251 + ": " + OutcomeText(s) + VELT_ANSI(", вызовов ") + Count(s.recordsRead) +
        VELT_ANSI(", в t ") + Count(s.nativesWritten) + VELT_ANSI(", в te ") + Count(s.externalsWritten) +
        VELT_ANSI(", с ошибками ") + Count(s.callsLogged) + VELT_ANSI(", код завершения ") +
        std::to_string(line.status) + "\n");
    total.recordsRead += s.recordsRead;
    total.nativesWritten += s.nativesWritten;
    total.externalsWritten += s.externalsWritten;
    total.callsLogged += s.callsLogged;
  }
  Out(VELT_ANSI("  всего архивов ") + std::to_string(lines.size()) + VELT_ANSI(", вызовов ") +
      Count(total.recordsRead) + VELT_ANSI(", в t ") + Count(total.nativesWritten) + VELT_ANSI(", в te ") +
      Count(total.externalsWritten) + VELT_ANSI(", с ошибками ") + Count(total.callsLogged) +
      VELT_ANSI(", код завершения ") + std::to_string(status) + "\n");
}

}  // namespace velt
