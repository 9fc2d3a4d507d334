#pragma once
// Comma-separated text as spreadsheets write and read it: a field holding a
// comma, a quote or a line break is quoted, a quote inside doubled; lines end
// in CR LF when written, in LF or CR LF when read.
#include <string>
#include <string_view>
#include <vector>

namespace velt {

// The field as it goes into a line, quoted when it must be.
std::string CsvField(std::string_view text);

struct CsvRow {
  int line = 0;  // the line of the file where the row starts, from 1
  std::vector<std::string> cells;
  bool unclosedQuote = false;  // a quoted field ran to the end of the text
};

// The rows of a text, a leading UTF-8 byte order mark dropped. Empty lines
// are left out; a line break inside a quoted field belongs to the field.
std::vector<CsvRow> ParseCsv(std::string_view text);

}  // namespace velt
