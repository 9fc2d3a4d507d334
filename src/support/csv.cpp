#include "support/csv.h"

namespace velt {

std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool BlankRow(const CsvRow& row) { return row.cells.size() == 1 && row.cells[0].empty(); }

}  // namespace

std::vector<CsvRow> ParseCsv(std::string_view text) {
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) text.remove_prefix(kByteOrderMark.size());
  std::vector<CsvRow> rows;
  CsvRow row;
  row.line = 1;
  row.cells.emplace_back();
  int line = 1;
  bool quoted = false;
  bool wasQuoted = false;  // the current field was quoted (a blank line is then a row)
  auto endRow = [&] {
    if (!BlankRow(row) || wasQuoted) rows.push_back(std::move(row));
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
    } else if (c == ',') {
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
  if (!BlankRow(row) || wasQuoted || row.unclosedQuote) rows.push_back(std::move(row));
  return rows;
}

}  // namespace velt
