#pragma once
// Comma- or semicolon-separated text as spreadsheets write and read it, in
// UTF-8. Every file starts with the UTF-8 byte order mark: without it a
// spreadsheet in a Russian locale takes the text for Windows-1251. Excel
// there splits lines at ";" only, so the windows write ";"; the command line
// keeps "," unless told otherwise.
//
// A field holding the separator, a quote or a line break is quoted, a quote
// inside doubled. A field that a spreadsheet would run as a formula (its
// text starts with "=", "+", "-" or "@") gets an apostrophe in front; one
// that already starts with apostrophes before such a sign gets one more, so
// that reading drops exactly one and gives back the text that was written.
// Lines end in CR LF when written, in LF or CR LF when read.
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace velt {

inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";
inline constexpr char kCommaSeparator = ',';
inline constexpr char kSemicolonSeparator = ';';

// The field as it goes into a line, guarded and quoted when it must be.
std::string CsvField(std::string_view text, char separator = kCommaSeparator);
// A whole line of cells already made fields (or plain numbers), with CR LF.
std::string CsvLine(std::initializer_list<std::string_view> fields, char separator);
// The start of a file: the byte order mark and the header line of plain
// column names.
std::string CsvFileStart(std::initializer_list<std::string_view> names, char separator);

struct CsvRow {
  int line = 0;  // the line of the file where the row starts, from 1
  std::vector<std::string> cells;
  bool unclosedQuote = false;  // a quoted field ran to the end of the text
};

// The separator of a text: ";" when its first line holds more semicolons
// than commas outside quotes, else ",".
char DetectCsvSeparator(std::string_view text);

// The rows of a text, a leading byte order mark dropped and the separator
// detected from the first line. Empty lines are left out; a line break inside
// a quoted field belongs to the field; a formula guard is taken off.
std::vector<CsvRow> ParseCsv(std::string_view text);

}  // namespace velt
