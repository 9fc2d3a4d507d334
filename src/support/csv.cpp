#include "support/csv.h"

namespace velt {
namespace {

bool FormulaSign(char c) { return c == '=' || c == '+' || c == '-' || c == '@'; }

// Apostrophes, then a formula sign: the text a spreadsheet would run, or
// one that a guard of ours would otherwise be mistaken for.
bool NeedsGuard(std::string_view text) {
  const std::size_t first = text.find_first_not_of('\'');
  return first != std::string_view::npos && FormulaSign(text[first]);
}

std::string_view WithoutBom(std::string_view text) {
  if (text.substr(0, kUtf8ByteOrderMark.size()) == kUtf8ByteOrderMark)
    text.remove_prefix(kUtf8ByteOrderMark.size());
  return text;
}

bool BlankRow(const CsvRow& row) { return row.cells.size() == 1 && row.cells[0].empty(); }

void Unguard(CsvRow& row) {
  for (std::string& cell : row.cells)
    if (!cell.empty() && cell[0] == '\'' && NeedsGuard(cell)) cell.erase(0, 1);
}

}  // namespace

std::string CsvField(std::string_view text, char separator) {
  std::string field = NeedsGuard(text) ? "'" + std::string(text) : std::string(text);
  const char special[] = {separator, '"', '\r', '\n', '\0'};
  if (field.find_first_of(special) == std::string::npos) return field;
  std::string quoted = "\"";
  for (char c : field) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string CsvLine(std::initializer_list<std::string_view> fields, char separator) {
  std::string line;
  bool first = true;
  for (std::string_view field : fields) {
    if (!first) line += separator;
    line += field;
    first = false;
  }
  return line + "\r\n";
}

std::string CsvFileStart(std::initializer_list<std::string_view> names, char separator) {
  return std::string(kUtf8ByteOrderMark) + CsvLine(names, separator);
}

char DetectCsvSeparator(std::string_view text) {
  text = WithoutBom(text);
  int commas = 0;
  int semicolons = 0;
  bool quoted = false;
  for (char c : text) {
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    if (c == '\n') break;
    commas += c == ',';
    semicolons += c == ';';
  }
  return semicolons > commas ? kSemicolonSeparator : kCommaSeparator;
}

std::vector<CsvRow> ParseCsv(std::string_view text) {
  const char separator = DetectCsvSeparator(text);
  text = WithoutBom(text);
  std::vector<CsvRow> rows;
  CsvRow row;
  row.line = 1;
  row.cells.emplace_back();
  int line = 1;
  bool quoted = false;
  bool wasQuoted = false;  // the current field was quoted (a blank line is then a row)
  auto endRow = [&] {
    if (!BlankRow(row) || wasQuoted) {
      Unguard(row);
      rows.push_back(std::move(row));
    }
    row = CsvRow{};
    row.line = line;
    row.cells.emplace_back();
    wasQuoted = false;
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        row.cells.back() += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        if (c == '\n') ++line;
        row.cells.back() += c;
      }
    } else if (c == '"') {
      quoted = true;
      wasQuoted = true;
    } else if (c == separator) {
      row.cells.emplace_back();
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      // The LF ends the row.
    } else if (c == '\n') {
      ++line;
      endRow();
    } else {
      row.cells.back() += c;
    }
  }
  if (quoted) row.unclosedQuote = true;
  if (!BlankRow(row) || wasQuoted || row.unclosedQuote) {
    Unguard(row);
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace velt
