#include "reference/mapping_exchange.h"

#include <algorithm>
#include <map>

#include "reference/mapping_files.h"
#include "reference/mapping_table_editor.h"
#include "reference/pavk_choice.h"
#include "support/code_page.h"
#include "support/csv.h"
#include "support/error.h"
#include "support/file_problem.h"
#include "support/platform.h"
#include "support/run_state.h"
#include "support/text.h"

namespace velt {
namespace {

constexpr int kLpuKind = 5;  // keyed on the institution's name
constexpr std::size_t kColumns = 3;
constexpr std::size_t kListedFailures = 20;  // more would hide the message's end

struct Columns {
  int code = -1;
  int name = -1;
  int pavk = -1;
};

Columns Resolve(Table& mapping) {
  return {mapping.FieldByName("VELTCODE").Index(), mapping.FieldByName("VELTNAME").Index(),
          mapping.FieldByName("PAVK").Index()};
}

bool ValidUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const std::size_t length = c < 0x80           ? 1
                               : (c >> 5) == 0x6  ? 2
                               : (c >> 4) == 0xE  ? 3
                               : (c >> 3) == 0x1E ? 4
                                                  : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k)
      if ((static_cast<unsigned char>(text[i + k]) >> 6) != 0x2) return false;
    i += length;
  }
  return true;
}

// A checked row of the file, in 1251.
struct ImportRow {
  std::string code, name, pavk;
  const std::string& Key(int kind) const { return kind == kLpuKind ? name : code; }
};

class RowChecker {
 public:
  RowChecker(int kind, const Table& mapping, const Columns& columns, const std::vector<std::string>& choices)
      : kind_(kind), choices_(choices) {
    codeWidth_ = mapping.Field(columns.code).width;
    nameWidth_ = mapping.Field(columns.name).width;
  }

  // The row, or a failure added to `failures`.
  bool Check(const CsvRow& row, ImportRow& out, std::vector<std::string>& failures) const {
    auto fail = [&](const std::string& why) {
      failures.push_back(VELT_ANSI("строка ") + std::to_string(row.line) + ": " + why);
      return false;
    };
    if (row.unclosedQuote) return fail(VELT_ANSI("кавычка открыта и не закрыта до конца файла"));
    if (row.cells.size() != kColumns)
      return fail(VELT_ANSI("полей ") + std::to_string(row.cells.size()) + VELT_ANSI(" вместо трёх"));
    std::string cells[kColumns];
    for (std::size_t i = 0; i < kColumns; ++i) {
      cells[i] = Utf8ToAnsi(Trim(row.cells[i]));
      // The table stores code page 866: a letter that it lacks would come back as "?".
      if (AnsiToUtf8(OemToAnsi(AnsiToOem(cells[i]))) != Trim(row.cells[i]))
        return fail(VELT_ANSI("в поле ") + std::to_string(i + 1) +
                    VELT_ANSI(" есть знак, которого нет в кириллической кодировке таблицы"));
    }
    out = {cells[0], cells[1], ""};
    const char* keyName = kind_ == kLpuKind ? "VELTNAME" : "VELTCODE";
    if (out.Key(kind_).empty()) return fail(VELT_ANSI("не заполнен ключ ") + keyName);
    if (static_cast<int>(out.code.size()) > codeWidth_)
      return fail(VELT_ANSI("VELTCODE длиннее ") + std::to_string(codeWidth_) + VELT_ANSI(" знаков"));
    if (static_cast<int>(out.name.size()) > nameWidth_)
      return fail(VELT_ANSI("VELTNAME длиннее ") + std::to_string(nameWidth_) + VELT_ANSI(" знаков"));
    if (std::optional<std::string> choice = choices_.Resolve(cells[2])) {
      out.pavk = std::move(*choice);
      return true;
    }
    const std::vector<std::string> candidates = choices_.Candidates(cells[2]);
    if (candidates.empty())
      return fail(VELT_ANSI("«") + cells[2] + VELT_ANSI("» не является значением ПАВК этого классификатора"));
    return fail(VELT_ANSI("«") + cells[2] + VELT_ANSI("» подходит к нескольким значениям ПАВК (") +
                ListedCandidates(candidates) + VELT_ANSI("); укажите значение целиком"));
  }

 private:
  static std::string ListedCandidates(const std::vector<std::string>& candidates) {
    constexpr std::size_t kListed = 3;
    std::string listed;
    for (std::size_t i = 0; i < candidates.size() && i < kListed; ++i)
      listed += (i == 0 ? "" : "; ") + candidates[i];
    if (candidates.size() > kListed) listed += "; ...";
    return listed;
  }

  int kind_;
  PavkChoiceResolver choices_;
  int codeWidth_ = 0;
  int nameWidth_ = 0;
};

std::string JoinFailures(const std::vector<std::string>& failures) {
  std::string text;
  for (std::size_t i = 0; i < failures.size() && i < kListedFailures; ++i) text += failures[i] + "\n";
  if (failures.size() > kListedFailures)
    text += VELT_ANSI("и ещё строк с ошибками: ") + std::to_string(failures.size() - kListedFailures) + "\n";
  return text;
}

// The rows of the file, every one checked; raises the list of failures.
std::vector<ImportRow> CheckedRows(const Table& mapping, int kind, const Columns& columns,
                                   std::string_view csv, const std::vector<std::string>& choices) {
  const std::vector<CsvRow> rows = ParseCsv(csv);
  auto header = [](const CsvRow& row) {
    if (row.cells.size() != kColumns) return false;
    const char* names[kColumns] = {"VELTCODE", "VELTNAME", "PAVK"};
    for (std::size_t i = 0; i < kColumns; ++i)
      if (!EqualIgnoringCase(Trim(row.cells[i]), names[i])) return false;
    return true;
  };
  if (rows.empty() || !header(rows.front()))
    throw Error(
        VELT_ANSI("Файл не загружен: первой строкой должен быть заголовок VELTCODE,VELTNAME,PAVK (поля "
                  "через точку с запятой или через запятую). Таблица связок не изменена."));
  RowChecker checker(kind, mapping, columns, choices);
  std::vector<ImportRow> checked;
  std::vector<std::string> failures;
  for (auto row = rows.begin() + 1; row != rows.end(); ++row) {
    ImportRow out;
    if (checker.Check(*row, out, failures)) checked.push_back(std::move(out));
  }
  if (!failures.empty())
    throw Error(VELT_ANSI("Файл не загружен, строки с ошибками:\n") + JoinFailures(failures) +
                VELT_ANSI("Таблица связок не изменена."));
  return checked;
}

std::string InMappingDir(const std::string& name) {
  return State().mappingDirPath + platform::PathSeparator() + name;
}

// The kind's table created when missing, then opened; errors name the table.
std::string OpenMapping(int kind, Table& mapping, bool exclusive) {
  std::string path;
  try {
    path = EnsureMappingTable(kind, mapping);
  } catch (const Error& error) {
    throw Error(VELT_ANSI("Не удалось создать таблицу связок ") +
                ShownPath(InMappingDir(MappingTableName(kind))) + ":\n" + error.what());
  }
  mapping.SetTableName(path);
  mapping.SetExclusive(exclusive);
  try {
    mapping.Open();
  } catch (const Error& error) {
    throw Error(VELT_ANSI("Таблица связок ") + ShownPath(path) +
                VELT_ANSI(" недоступна: её держит окно ведения связок, конвертация или другая программа, "
                          "либо файл повреждён. Закройте её и повторите.\n") +
                error.what());
  }
  return path;
}

// Writes the checked rows; `count` tells how far it came when a write fails.
void Merge(MappingTableEditor& editor, int kind, const std::vector<ImportRow>& rows,
           MappingImportCount& count) {
  const int keyColumn = kind == kLpuKind ? MappingTableEditor::kNameColumn : MappingTableEditor::kCodeColumn;
  // Every row of a key: a table may hold a key twice, and each gets the
  // file's choice so that no lookup order can pick a stale one.
  std::map<std::string, std::vector<int>> byKey;
  for (int row = 0; row < editor.RowCount(); ++row) byKey[Trim(editor.Cell(row, keyColumn))].push_back(row);
  for (const ImportRow& row : rows) {
    auto found = byKey.find(row.Key(kind));
    if (found == byKey.end()) {
      byKey[row.Key(kind)].push_back(editor.Append(row.code, row.name, row.pavk));
      ++count.appended;
      continue;
    }
    for (int at : found->second) {
      if (!editor.SetCell(at, MappingTableEditor::kPavkColumn, row.pavk)) continue;
      editor.Post();
      ++count.updated;
    }
  }
}

// The merge is built in a copy beside the table and put in its place with
// one rename while `held` (the table, opened exclusively) keeps its lock:
// a kill leaves the old table or the new one, never a mix of them. The
// copy of a failed merge is removed.
MappingImportCount ImportBeside(Table& held, const std::string& path, int kind, std::string_view csv,
                                const std::vector<std::string>& choices) {
  const std::string merged = path + "." + std::to_string(platform::ProcessId()) + ".tmp";
  if (!platform::CopyWholeFile(path, merged)) {
    platform::RemoveFile(merged);
    throw Error(VELT_ANSI("Копию для слияния нельзя записать.\n") + FileWriteProblem(merged) +
                VELT_ANSI("\nТаблица связок не изменена."));
  }
  Table copy("Dir");
  copy.SetOEMTranslate(true);
  copy.SetTableName(merged);
  copy.SetExclusive(true);
  MappingImportCount count;
  try {
    copy.Open();
    count = ImportMappingCsv(copy, kind, csv, choices);
    copy.Close();
  } catch (const Error& error) {
    copy.Close();
    platform::RemoveFile(merged);
    const std::string unchanged = VELT_ANSI("Таблица связок не изменена.");
    const std::string text = error.what();
    if (text.find(unchanged) != std::string::npos) throw;
    throw Error(text + "\n" + unchanged);
  }
  if (!platform::ReplaceFile(merged, path)) {
    platform::RemoveFile(merged);
    throw Error(VELT_ANSI("Слитую таблицу нельзя поставить на место.\n") + FileWriteProblem(path) +
                VELT_ANSI("\nТаблица связок не изменена."));
  }
  held.Close();
  return count;
}

}  // namespace

int MappingKindByName(std::string_view name) {
  for (int kind : kMappingKinds)
    if (MappingTableName(kind) == std::string(name) + ".dbf") return kind;
  return 0;
}

std::string MappingTableCsv(Table& mapping, char separator, int& rows) {
  MappingTableEditor editor(mapping);
  editor.Load();
  std::string csv = CsvFileStart({"VELTCODE", "VELTNAME", "PAVK"}, separator);
  for (const MappingRow& row : editor.Rows()) {
    csv += CsvLine({CsvField(AnsiToUtf8(row.code), separator), CsvField(AnsiToUtf8(row.name), separator),
                    CsvField(AnsiToUtf8(row.pavk), separator)},
                   separator);
  }
  rows = editor.RowCount();
  return csv;
}

MappingImportCount ImportMappingCsv(Table& mapping, int kind, std::string_view csv,
                                    const std::vector<std::string>& choices) {
  const Columns columns = Resolve(mapping);
  const std::vector<ImportRow> rows = CheckedRows(mapping, kind, columns, csv, choices);
  MappingTableEditor editor(mapping);
  editor.Load();
  MappingImportCount count;
  try {
    Merge(editor, kind, rows, count);
  } catch (const Error& error) {
    editor.Cancel();
    throw Error(VELT_ANSI("Запись в таблицу связок прервана: ") + error.what() +
                VELT_ANSI("\nИзменено строк до сбоя: ") + std::to_string(count.updated + count.appended) +
                ".");
  }
  return count;
}

int WriteMappingCsv(Table& mapping, const std::string& csvPath, char separator) {
  int rows = 0;
  if (!platform::ReplaceWholeFile(csvPath, MappingTableCsv(mapping, separator, rows)))
    throw Error(VELT_ANSI("Не удалось записать файл ") + csvPath + ".\n" + FileWriteProblem(csvPath));
  return rows;
}

int ExportMappingFile(int kind, const std::string& csvPath, char separator) {
  Table mapping("Dir");
  mapping.SetOEMTranslate(true);
  OpenMapping(kind, mapping, false);
  return WriteMappingCsv(mapping, csvPath, separator);
}

std::string MappingExportDone(const std::string& csvPath, int rows) {
  return VELT_ANSI("Таблица связок выгружена в файл ") + csvPath + VELT_ANSI(", строк: ") +
         std::to_string(rows) + ".";
}

std::string ReadMappingCsv(const std::string& csvPath) {
  std::string csv;
  if (!platform::ReadWholeFile(csvPath, csv))
    throw Error(VELT_ANSI("Не удалось прочитать файл ") + csvPath +
                VELT_ANSI(": файла нет или он недоступен."));
  if (!ValidUtf8(csv))
    throw Error(
        VELT_ANSI("Файл ") + csvPath +
        VELT_ANSI(" не в кодировке UTF-8: сохраните его как «CSV UTF-8» и повторите. Таблица связок не "
                  "изменена."));
  return csv;
}

MappingImportCount ImportMappingFile(int kind, const std::string& csvPath) {
  const std::string csv = ReadMappingCsv(csvPath);
  Table mapping("Dir");
  mapping.SetOEMTranslate(true);
  std::vector<std::string> choices;
  try {
    choices = LoadPavkChoices(kind, mapping).choices;
  } catch (const Error& error) {
    throw Error(VELT_ANSI("Не удалось прочитать значения ПАВК из ") +
                ShownPath(InMappingDir("PAVK_VALUES.dbf")) + ":\n" + error.what());
  }
  const std::string path = OpenMapping(kind, mapping, true);
  try {
    return ImportBeside(mapping, path, kind, csv, choices);
  } catch (const Error& error) {
    throw Error(VELT_ANSI("Файл ") + csvPath + VELT_ANSI(", таблица связок ") + ShownPath(path) + ":\n" +
                error.what());
  }
}

}  // namespace velt
