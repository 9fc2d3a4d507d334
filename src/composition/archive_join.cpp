#include "composition/archive_join.h"

#include <algorithm>
#include <cstdint>

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

// The entry's records appended; false when the entry could not be opened at
// all (it is reported as records that could not be moved); any other error
// is the entry's structure and reaches the caller.
bool Appended(Table& joined, const std::string& entry) {
  try {
    joined.AppendFrom(entry, kSourceDbase, "");
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

JoinOutcome JoinArchives(const std::vector<std::string>& entries, const std::string& name, JoinHost& host) {
  host.ShowProgress(kFirstProgress);
  host.ProcessEvents();
  if (name.empty()) {  // blanks alone pass here and fail at the creation
    host.NameMissing();
    host.HideProgress();
    return JoinOutcome::NameMissing;
  }
  if (entries.empty()) {
    host.ShowMessage(VELT_ANSI("Не выбраны файлы для склеивания"));
    host.HideProgress();
    return JoinOutcome::NoEntries;
  }

  const std::string output = JoinedFilePath(name);
  const std::string& first = entries.front();
  Table joined;   // J
  Table counter;  // S
  joined.SetOEMTranslate(true);
  counter.SetOEMTranslate(true);

  // The first entry is opened here without a guard: an engine error
  // (missing or locked file) leaves the join through the caller.
  joined.SetTableName(first);
  const std::string partial = PartialPath(output);
  // A name of blanks alone names the folder itself.
  if (platform::FileNamePart(output).empty() || NamesAnEntry(output, entries) ||
      NamesAnEntry(partial, entries) || !CopiedStructure(joined, partial)) {
    host.ShowMessage(VELT_ANSI("Невозможно создать файл ") + output + VELT_ANSI(" или занят файл ") + first +
                     "." + Cancelled());
    host.HideProgress();
    return JoinOutcome::CannotCreate;
  }
  joined.SetTableName(partial);
  joined.SetExclusive(true);
  joined.Open();

  const int n = static_cast<int>(entries.size());
  std::int64_t sum = 0;
  for (int i = 0; i < n; ++i) {
    const std::string& entry = entries[static_cast<std::size_t>(i)];
    if (!platform::FileExists(entry)) {
      host.ShowMessage(VELT_ANSI("Нет доступа к файлу ") + entry + VELT_ANSI("или он не существует.") +
                       Cancelled() + KeptLine(output));
      EmptyAndClose(joined);
      host.HideProgress();
      return JoinOutcome::EntryMissing;
    }
    try {
      if (!Appended(joined, entry)) {
        host.ShowMessage(VELT_ANSI("Не удалось перенести записи из файла ") + entry +
                         VELT_ANSI(" в выходной файл.") + Cancelled() + KeptLine(output));
        EmptyAndClose(joined);
        host.HideProgress();
        return JoinOutcome::AppendFailed;
      }
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
    host.ProcessEvents();
  }

  const std::int64_t total = joined.Count();
  if (total == sum) {
    if (!PutInPlace(joined, output, host)) return JoinOutcome::CannotCreate;
    host.Joined(output);
    host.ShowMessage(VELT_ANSI("Склеивание файлов успешно завершено. Выходной файл находится по пути ") +
                     output);
    joined.Close();
    host.HideProgress();
    return JoinOutcome::Joined;
  }
  host.ShowMessage(
      VELT_ANSI(
          "Не сходится суммарное кол-во записей всех файлов. Обратитесь к специалистам службы поддержки "
          "ЗЕЛАН.") +
      KeptLine(output));
  EmptyAndClose(joined);
  host.HideProgress();
  return JoinOutcome::CountMismatch;
}

}  // namespace velt
