// Tables written by other programs, damaged files and files that are no
// tables at all.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/code_page.h"
#include "support/error.h"
#include "support/platform.h"
#include "support_files/temp_dir.h"
#include "table/table.h"

namespace velt {
namespace {

struct RawField {
  std::string name;
  char type;
  int width;
  int decimals;
};

void Put16(std::string& s, std::size_t at, std::uint32_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& s, std::size_t at, std::uint32_t v) {
  Put16(s, at, v & 0xFFFF);
  Put16(s, at + 2, v >> 16);
}

// A dBase file as another program writes it. `trailer` bytes follow the
// terminator inside the header (a FoxPro backlink area).
struct RawTable {
  std::uint8_t version = 0x03;
  std::vector<RawField> fields;
  std::vector<std::string> records;  // without the deletion flag unless flagged
  int headerCount = -1;              // -1: the number of records
  int recordLength = -1;             // -1: computed
  int headerLength = -1;             // -1: computed
  std::size_t trailer = 0;

  std::string Bytes() const {
    int length = 1;
    for (const auto& f : fields) length += f.type == 'C' ? f.width + f.decimals * 256 : f.width;
    std::string header(32 + 32 * fields.size() + 1 + trailer, '\0');
    header[0] = static_cast<char>(version);
    header[1] = 124;
    header[2] = 5;
    header[3] = 17;
    Put32(header, 4, static_cast<std::uint32_t>(headerCount < 0 ? records.size() : headerCount));
    Put16(header, 8, static_cast<std::uint32_t>(headerLength < 0 ? header.size() : headerLength));
    Put16(header, 10, static_cast<std::uint32_t>(recordLength < 0 ? length : recordLength));
    std::size_t pos = 32;
    for (const auto& f : fields) {
      header.replace(pos, f.name.size(), f.name);
      header[pos + 11] = f.type;
      header[pos + 16] = static_cast<char>(f.width);
      header[pos + 17] = static_cast<char>(f.decimals);
      pos += 32;
    }
    header[pos] = 0x0D;
    std::string bytes = header;
    for (const auto& r : records) bytes += r.size() + 1 == static_cast<std::size_t>(length) ? " " + r : r;
    return bytes + "\x1A";
  }
};

class BadInputTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& bytes) {
    platform::WriteWholeFile(path_, bytes);
    return path_;
  }
  std::string OpenError(bool oem = true) {
    Table table;
    table.SetTableName(path_);
    table.SetOEMTranslate(oem);
    try {
      table.Open();
    } catch (const Error& error) {
      return error.what();
    }
    return "(opened)";
  }
  void Open(Table& table, bool oem = true) {
    table.SetTableName(path_);
    table.SetOEMTranslate(oem);
    table.Open();
  }

  testing::TempDir dir_;
  std::string path_ = dir_.File("bad.dbf");
};

RawTable Simple() {
  RawTable t;
  t.fields = {{"NAME", 'C', 5, 0}, {"N", 'N', 3, 0}};
  t.records = {"one    1", "two    2", "three  3"};
  return t;
}

TEST_F(BadInputTest, FilesThatAreNoTablesAreRefused) {
  const std::string refused = "Unable to open table: " + path_;
  Write("");
  EXPECT_EQ(OpenError(), refused);
  Write(std::string("\x03\x7c\x05", 3) + std::string(17, '\0'));
  EXPECT_EQ(OpenError(), refused);
  Write("This is a plain text file, long enough to hold a header of thirty-two bytes and more.");
  EXPECT_EQ(OpenError(), refused);

  RawTable t = Simple();
  t.version = 0x02;
  Write(t.Bytes());
  EXPECT_EQ(OpenError(), refused) << "unknown version";
  t = Simple();
  t.headerLength = 60000;  // a header (and field count) far beyond the file
  Write(t.Bytes());
  EXPECT_EQ(OpenError(), refused) << "header past the end";
  t = Simple();
  t.fields.clear();
  t.recordLength = 9;
  Write(t.Bytes());
  EXPECT_EQ(OpenError(), refused) << "no fields";
  t = Simple();
  t.recordLength = 0;
  Write(t.Bytes());
  EXPECT_EQ(OpenError(), refused) << "record length 0";
  t = Simple();
  t.recordLength = 6;  // the second field ends past the record
  Write(t.Bytes());
  EXPECT_EQ(OpenError(), refused) << "field past the record";
  t = Simple();
  t.fields[1].type = 'X';
  Write(t.Bytes());
  EXPECT_EQ(OpenError(), refused) << "unknown field type";
  t = Simple();
  t.fields[1] = {"D", 'D', 3, 0};
  Write(t.Bytes());
  EXPECT_EQ(OpenError(), refused) << "date of three bytes";
  t = Simple();
  t.fields[0].width = 0;
  Write(t.Bytes());
  EXPECT_EQ(OpenError(), refused) << "field of width 0";
}

TEST_F(BadInputTest, TruncatedFileIsReadUpToItsLastWholeRecord) {
  RawTable t = Simple();
  t.headerCount = 10;
  std::string bytes = t.Bytes();
  bytes.resize(bytes.size() - 1 - 4);  // the end mark and half of the last record gone
  Write(bytes);
  Table table;
  Open(table);
  EXPECT_EQ(table.PhysicalCount(), 2);
  EXPECT_EQ(table.Count(), 2);
  table.Next();
  EXPECT_EQ(table.AsString(0), "two");
  table.Next();
  EXPECT_TRUE(table.Eof());

  table.Append();  // goes right after the last whole record
  table.SetString(0, "four");
  table.SetInteger(1, 4);
  table.Post();
  table.Close();
  Open(table);
  EXPECT_EQ(table.PhysicalCount(), 3);
  table.Next();
  table.Next();
  EXPECT_EQ(table.AsString(0), "four");
  EXPECT_EQ(table.AsInteger(1), 4);
}

TEST_F(BadInputTest, RecordsBeyondTheHeaderCountAreNotRead) {
  RawTable t = Simple();
  t.headerCount = 2;
  Write(t.Bytes());
  Table table;
  Open(table);
  EXPECT_EQ(table.Count(), 2);
  EXPECT_EQ(table.PhysicalCount(), 2);
}

TEST_F(BadInputTest, UnreadableValuesReadAsZeroOrNull) {
  RawTable t;
  t.fields = {{"N", 'N', 5, 1}, {"D", 'D', 8, 0}, {"C", 'C', 4, 0}};
  t.records = {std::string("*****20231301ab\0\0", 17), std::string("  1,520230230    ", 17),
               std::string(" -2.5000000008   ", 17)};
  Write(t.Bytes());
  Table table;
  Open(table);
  EXPECT_EQ(table.AsString(0), "0");
  EXPECT_FALSE(table.IsNull(0));
  EXPECT_EQ(table.AsString(1), "");  // month 13
  EXPECT_EQ(table.AsDateTime(1), 0);
  EXPECT_EQ(table.AsString(2), "ab");  // NUL padding is trimmed like blanks
  table.Next();
  EXPECT_EQ(table.AsFloat(0), 0);    // a decimal comma is no number
  EXPECT_EQ(table.AsString(1), "");  // 30 February
  table.Next();
  EXPECT_EQ(table.AsString(0), "-2.5");
  EXPECT_EQ(table.AsString(1), "");  // eight zeros are no date
}

TEST_F(BadInputTest, OtherWritersVariantsAreRead) {
  RawTable t;
  t.version = 0x30;  // FoxPro: a 263-byte backlink area follows the terminator
  t.trailer = 263;
  t.fields = {
      {"LONG", 'C', 44, 1}, {"BIN", 'I', 4, 0}, {"OK", 'L', 1, 0}, {"F", 'F', 6, 2}, {"MEMO", 'M', 10, 0}};
  std::string longText = AnsiToOem(testing::A("Длинный текст")) + std::string(300 - 13, ' ');
  std::string record = longText + std::string("\x80\xFF\xFF\xFF", 4) + "t" + "  1.50" + "        17";
  t.records = {record};
  Write(t.Bytes());
  Table table;
  Open(table);
  ASSERT_EQ(table.FieldCount(), 5);
  EXPECT_EQ(table.Field(0).width, 300);
  EXPECT_EQ(table.AsString(0), testing::A("Длинный текст"));
  EXPECT_EQ(table.AsInteger(1), -128);  // binary bytes are not translated
  EXPECT_EQ(table.AsString(2), "T");
  EXPECT_EQ(table.AsInteger(2), 1);
  EXPECT_EQ(table.AsString(3), "1.5");
  EXPECT_EQ(table.AsString(4), "17");
  EXPECT_EQ(table.Kind(3), FieldKind::Float);

  for (std::uint8_t version : {0x31, 0x83, 0x8B, 0xF5}) {
    t.version = version;
    Write(t.Bytes());
    EXPECT_EQ(OpenError(), "(opened)") << int(version);
  }
}

}  // namespace
}  // namespace velt
