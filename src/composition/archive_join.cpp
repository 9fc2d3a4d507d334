#include "composition/archive_join.h"

#include <algorithm>
#include <cstdint>
#include <new>

#include "support/code_page.h"
#include "support/error.h"
#include "support/file_problem.h"
#include "support/partial_path.h"
#include "support/platform.h"
#include "support/rounding.h"
#include "support/run_state.h"
#include "support/text.h"
#include "table/table.h"

namespace velt {
namespace {

// Source type of AppendFrom: a dBase table.
constexpr int kSourceDbase = 32;
constexpr int kFirstProgress = 5;

const std::string& Cancelled() { return VELT_ANSI(" Склеивание файлов отменено."); }

// Writing the joined table over one of its own sources would destroy that
// source before its records are read; such a name is refused like a file
// that cannot be created.
bool NamesAnEntry(const std::string& output, const std::vector<std::string>& entries) {
  return std::any_of(entries.begin(), entries.end(),
                     [&](const std::string& entry) { return platform::SameFile(output, entry); });
}

// The end of a join that failed after the joined table was opened: the
// table keeps its structure and loses its records, under its partial name.
void EmptyAndClose(Table& joined) {
  joined.Zap();
  joined.Close();
}

// The second line of a message after such a failure: a joined table of an
// earlier join stays as it was.
std::string KeptLine(const std::string& output) {
  return "\n" + VELT_ANSI("Прежний файл ") + ShownPath(output) +
         VELT_ANSI(" не изменён; начатый файл оставлен пустым: ") + ShownPath(PartialPath(output)) + ".";
}

// The joined table's structure written at `output`; false when the file
// could not be written. An error of the first entry's own open reaches the
// caller.
bool CopiedStructure(Table& joined, const std::string& output) {
  try {
    joined.CopyStructure(output);
    return true;
  } catch (const Error& error) {
    if (!error.Unavailable()) throw;
    return false;
  }
}

// The entry's records appended (some only, when the join is cancelled
// meanwhile); false when the entry could not be opened at all (it is
// reported as records that could not be moved); any other error is the
// entry's structure and reaches the caller.
bool Appended(Table& joined, const std::string& entry, const CancelToken& cancel) {
  try {
    joined.AppendFrom(entry, kSourceDbase, "", &cancel);
    return true;
  } catch (const Error& error) {
    if (!error.Unavailable()) throw;
    return false;
  }
}

// The whole joined table takes the place of an earlier one with one rename;
// false, with the message said, when it cannot.
bool PutInPlace(Table& joined, const std::string& output, JoinHost& host) {
  try {
    joined.MoveTo(output);
    return true;
  } catch (const Error&) {
    joined.Close();
    host.ShowMessage(VELT_ANSI("Невозможно создать файл ") + output + "." + Cancelled() + "\n" +
                     FileWriteProblem(output) + "\n" + VELT_ANSI("Склеенная таблица осталась в файле ") +
                     ShownPath(PartialPath(output)) + ".");
    host.HideProgress();
    return false;
  }
}

unsigned char Folded(char c) { return static_cast<unsigned char>(UpperChar(c)); }

// Why the joined table could not be begun at `partial`, on a line of its
// own: another join writing the same table holds it, else the file's own
// cause (a full disk, no right, ...).
std::string NotBegunLine(const std::string& partial) {
  platform::File probe;
  if (probe.Open(partial, platform::File::Mode::Read, platform::File::Lock::Exclusive) ==
      platform::OpenResult::Locked)
    return "\n" + TableProblemLine(partial, VELT_ANSI("занят другой программой: в этот же файл сейчас идёт "
                                                      "другое склеивание. Дождитесь его конца"));
  return "\n" + FileWriteProblem(partial);
}

// The joined table opened for this join alone; false, with the message
// said, when another join took it first.
bool OpenedAlone(Table& joined, const std::string& partial, const std::string& output,
                 const std::string& first, JoinHost& host) {
  try {
    joined.SetTableName(partial);
    joined.SetExclusive(true);
    joined.Open();
    return true;
  } catch (const Error&) {
    host.ShowMessage(VELT_ANSI("Невозможно создать файл ") + output + VELT_ANSI(" или занят файл ") + first +
                     "." + Cancelled() + NotBegunLine(partial));
    host.HideProgress();
    return false;
  }
}

}  // namespace

std::string JoinedFilePath(std::string_view name) {
  std::string file = Trim(name);
  // A name typed without an extension would give a file that the archive
  // dialogs (*.dbf) do not show.
  if (!file.empty() && file.find('.') == std::string::npos) file += ".DBF";
  return State().appDir + "in" + platform::PathSeparator() + file;
}

bool LessIgnoringCase(std::string_view a, std::string_view b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return Folded(x) < Folded(y); });
}

void SortIgnoringCase(std::vector<std::string>& entries) {
  std::stable_sort(entries.begin(), entries.end(),
                   [](const std::string& a, const std::string& b) { return LessIgnoringCase(a, b); });
}

int JoinProgress(int done, int total) {
  // (5 * total + 95 * done) / total.
  const std::int64_t numerator = std::int64_t{kFirstProgress} * total + std::int64_t{95} * done;
  return static_cast<int>(RoundHalfEven(numerator, total));
}

std::optional<WriteProblem> JoinTargetsProblem(const std::vector<std::string>& entries,
                                               const std::string& name) {
  WriteTargets targets;
  for (const std::string& entry : entries) targets.Reads(entry, VELT_ANSI("объединяемый архив"));
  if (!Trim(name).empty()) targets.Writes(JoinedFilePath(name), VELT_ANSI("объединённая таблица"));
  targets.Writes(State().logFilePath, VELT_ANSI("журнал событий"));
  return targets.Check();
}

namespace {

// The message of a join that stopped after its table was begun, the bar
// hidden: the table keeps its structure only.
JoinOutcome Stopped(Table& joined, JoinHost& host, const std::string& message, JoinOutcome outcome) {
  host.ShowMessage(message);
  EmptyAndClose(joined);
  host.HideProgress();
  return outcome;
}

// The text of an error that no step expects, in 1251.
std::string UnexpectedText(const std::exception& error) {
  if (dynamic_cast<const Error*>(&error) != nullptr) return error.what();
  if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr) return VELT_ANSI("недостаточно памяти");
  return Utf8ToAnsi(error.what());
}

// The entries appended to the opened joined table, counted and checked, and
// the whole table put in place.
JoinOutcome AppendAll(const std::vector<std::string>& entries, const std::string& output, Table& joined,
                      JoinHost& host) {
  const CancelToken& cancel = host.Cancel();
  const std::string cancelled = VELT_ANSI("Склеивание файлов отменено.") + KeptLine(output);
  Table counter;  // S
  counter.SetOEMTranslate(true);
  const int n = static_cast<int>(entries.size());
  std::int64_t sum = 0;
  for (int i = 0; i < n; ++i) {
    if (cancel.Requested()) return Stopped(joined, host, cancelled, JoinOutcome::Cancelled);
    const std::string& entry = entries[static_cast<std::size_t>(i)];
    if (!platform::FileExists(entry))
      return Stopped(joined, host,
                     VELT_ANSI("Нет доступа к файлу ") + entry + VELT_ANSI("или он не существует.") +
                         Cancelled() + KeptLine(output),
                     JoinOutcome::EntryMissing);
    try {
      if (!Appended(joined, entry, cancel))
        return Stopped(joined, host,
                       VELT_ANSI("Не удалось перенести записи из файла ") + entry +
                           VELT_ANSI(" в выходной файл.") + Cancelled() + KeptLine(output),
                       JoinOutcome::AppendFailed);
      if (cancel.Requested()) return Stopped(joined, host, cancelled, JoinOutcome::Cancelled);
      host.EntryAppended(entry);
      counter.SetTableName(entry);
      counter.Open();
      sum += counter.Count();
      counter.Close();
    } catch (const Error&) {
      counter.Close();
      host.ShowMessage(VELT_ANSI("Неверная структура файла ") + entry +
                       VELT_ANSI(", добавить его невозможно.") + Cancelled() + KeptLine(output));
      EmptyAndClose(joined);
      return JoinOutcome::BadStructure;  // the progress bar stays as it is
    }
    host.ShowProgress(JoinProgress(i + 1, n));
    host.Checkpoint();
  }

  const std::int64_t total = joined.Count();
  if (total != sum)
    return Stopped(
        joined, host,
        VELT_ANSI("Не сходится суммарное кол-во записей всех файлов. Обратитесь к специалистам службы "
                  "поддержки ЗЕЛАН.") +
            KeptLine(output),
        JoinOutcome::CountMismatch);
  if (!PutInPlace(joined, output, host)) return JoinOutcome::CannotCreate;
  host.Joined(output);
  host.ShowMessage(VELT_ANSI("Склеивание файлов успешно завершено. Выходной файл находится по пути ") +
                   output);
  joined.Close();
  host.HideProgress();
  return JoinOutcome::Joined;
}

}  // namespace

JoinOutcome JoinArchives(const std::vector<std::string>& entries, const std::string& name, JoinHost& host) {
  // Checks made before the join starts show no progress behind their
  // message.
  if (name.empty()) {  // blanks alone pass here and fail at the creation
    host.NameMissing();
    return JoinOutcome::NameMissing;
  }
  if (entries.empty()) {
    host.ShowMessage(VELT_ANSI("Не выбраны файлы для склеивания"));
    return JoinOutcome::NoEntries;
  }
  host.ShowProgress(kFirstProgress);
  host.Checkpoint();

  const std::string output = JoinedFilePath(name);
  const std::string& first = entries.front();
  Table joined;  // J
  joined.SetOEMTranslate(true);

  // The first entry is opened here without a guard: an engine error
  // (missing or locked file) leaves the join through the caller.
  joined.SetTableName(first);
  const std::string partial = PartialPath(output);
  // A name of blanks alone names the folder itself.
  if (platform::FileNamePart(output).empty() || NamesAnEntry(output, entries) ||
      NamesAnEntry(partial, entries)) {
    host.ShowMessage(VELT_ANSI("Невозможно создать файл ") + output + VELT_ANSI(" или занят файл ") + first +
                     "." + Cancelled());
    host.HideProgress();
    return JoinOutcome::CannotCreate;
  }
  // Two joins into one table meet here: the one that loses is told so.
  if (!CopiedStructure(joined, partial)) {
    host.ShowMessage(VELT_ANSI("Невозможно создать файл ") + output + VELT_ANSI(" или занят файл ") + first +
                     "." + Cancelled() + NotBegunLine(partial));
    host.HideProgress();
    return JoinOutcome::CannotCreate;
  }
  if (!OpenedAlone(joined, partial, output, first, host)) return JoinOutcome::CannotCreate;
  // From here on the partial table exists and is this join's: whatever stops
  // the join, also an error that no step expects, says what became of it.
  try {
    return AppendAll(entries, output, joined, host);
  } catch (const std::exception& error) {
    try {
      if (joined.Active()) EmptyAndClose(joined);
    } catch (const std::exception&) {
      // The table stays as the error left it; the message still names it.
    }
    host.ShowMessage(VELT_ANSI("Склеивание файлов прервано ошибкой: ") + UnexpectedText(error) + "." +
                     KeptLine(output));
    host.HideProgress();
    return JoinOutcome::Failed;
  }
}

}  // namespace velt
