// CSV text as the program writes and reads it: whatever a cell holds, with
// either separator, reading gives back what was written.
#include "support/csv.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velt::testing {
namespace {

std::vector<std::vector<std::string>> Cells(const std::string& text) {
  std::vector<std::vector<std::string>> cells;
  for (const CsvRow& row : ParseCsv(text)) cells.push_back(row.cells);
  return cells;
}

TEST(CsvTest, FieldsAreQuotedForTheirSeparatorAndGuardedAgainstFormulas) {
  EXPECT_EQ(CsvField("a,b", ';'), "a,b");
  EXPECT_EQ(CsvField("a;b", ';'), "\"a;b\"");
  EXPECT_EQ(CsvField("a;b", ','), "a;b");
  EXPECT_EQ(CsvField("say \"hi\"\r\n", ','), "\"say \"\"hi\"\"\r\n\"");
  EXPECT_EQ(CsvField("=SUM(A1)", ','), "'=SUM(A1)");
  EXPECT_EQ(CsvField("+7", ';'), "'+7");
  EXPECT_EQ(CsvField("-1;2", ';'), "\"'-1;2\"");
  EXPECT_EQ(CsvField("@cmd", ','), "'@cmd");
  EXPECT_EQ(CsvField("''=x", ','), "'''=x");  // one more apostrophe than it had
  EXPECT_EQ(CsvField("'quoted'", ','), "'quoted'");
  EXPECT_EQ(CsvField(" -1", ','), " -1");
  EXPECT_EQ(CsvFileStart({"a", "b"}, ';'),
            "\xEF\xBB\xBF"
            "a;b\r\n");
}

TEST(CsvTest, ReadingFindsTheSeparatorAndDropsTheByteOrderMark) {
  EXPECT_EQ(DetectCsvSeparator("\xEF\xBB\xBF"
                               "A;B;C\r\n1,5;2;3"),
            ';');
  EXPECT_EQ(DetectCsvSeparator("A,B,C\n"), ',');
  EXPECT_EQ(DetectCsvSeparator("\"x;y;z\",b\n"), ',');  // quoted semicolons do not count
  const std::vector<std::vector<std::string>> expected = {{"A", "B"}, {"1,5", "x\ny"}};
  EXPECT_EQ(Cells("\xEF\xBB\xBF"
                  "A;B\r\n1,5;\"x\ny\"\r\n"),
            expected);
  EXPECT_EQ(Cells("A,B\n\"1,5\",\"x\ny\"\n\n"), expected);
  const std::vector<CsvRow> rows = ParseCsv("A,B\n\"x\ny\",1\n2,\"open");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[2].line, 4);
  EXPECT_TRUE(rows[2].unclosedQuote);
}

// Every cell, with either separator, comes back as it was written.
TEST(CsvTest, WrittenCellsReadBackExactly) {
  const std::vector<std::string> cells = {"=1+2",  "'=1+2", "''@x",         "'plain", "-", "+",
                                          "a;b,c", "\"q\"", "two\r\nlines", "",       "'", "Ёлка"};
  for (char separator : {',', ';'}) {
    std::string text = CsvFileStart({"h", "x"}, separator);
    for (const std::string& cell : cells) text += CsvLine({CsvField(cell, separator), "x"}, separator);
    const std::vector<CsvRow> rows = ParseCsv(text);
    ASSERT_EQ(rows.size(), cells.size() + 1) << separator;
    for (std::size_t i = 0; i < cells.size(); ++i) {
      EXPECT_EQ(rows[i + 1].cells, (std::vector<std::string>{cells[i], "x"})) << separator << " " << cells[i];
    }
  }
}

}  // namespace
}  // namespace velt::testing
