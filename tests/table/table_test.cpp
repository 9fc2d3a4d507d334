#include "table/table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "conversion/output_layout.h"
#include "support/code_page.h"
#include "support/error.h"
#include "support/platform.h"
#include "support_files/temp_dir.h"
#include "table/dbf_value.h"

namespace velt {
namespace {

using testing::A;

struct FieldSpec {
  const char* name;
  const char* type;
  int width;
  int decimals;
};

void Create(const std::string& path, const std::vector<FieldSpec>& fields, bool oem = true) {
  Table table;
  table.SetOEMTranslate(oem);
  table.CreateNew(path, 2, static_cast<int>(fields.size()));
  for (const auto& f : fields) table.CreateField(f.name, f.type, f.width, f.decimals);
  table.CreateExec();
}

void OpenTable(Table& table, const std::string& path, bool exclusive = false, bool oem = true) {
  table.SetTableName(path);
  table.SetExclusive(exclusive);
  table.SetOEMTranslate(oem);
  table.Open();
}

std::string FileBytes(const std::string& path) {
  std::string bytes;
  platform::ReadWholeFile(path, bytes);
  return bytes;
}

std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& error) {
    return error.what();
  }
  return "(no error)";
}

// A one-field table of names, appended in the order given.
void MakeNames(const std::string& path, const std::vector<std::string>& names, int width = 10) {
  Create(path, {{"NAME", "C", width, 0}});
  Table table;
  OpenTable(table, path);
  for (const auto& name : names) {
    table.Append();
    table.SetString(0, name);
    table.Post();
  }
}

std::vector<int> Walk(Table& table) {
  std::vector<int> recnos;
  for (table.First(); !table.Eof(); table.Next()) recnos.push_back(table.RecNo());
  return recnos;
}

class TableTest : public ::testing::Test {
 protected:
  testing::TempDir dir_;
  std::string path_ = dir_.File("t.dbf");
};

TEST_F(TableTest, EveryFieldTypeRoundTripsAndCyrillicIsStoredIn866) {
  Create(path_, {{"name", "C", 20, 0},
                 {"Code", "N", 4, 0},
                 {"SUM", "N", 10, 2},
                 {"BORN", "D", 8, 0},
                 {"OK", "L", 1, 0},
                 {"BIN", "I", 4, 0},
                 {"RATE", "F", 8, 3}});
  const std::string name = A("Щукин Ёж ящик");
  {
    Table table;
    OpenTable(table, path_);
    table.Append();
    table.SetString(0, name);
    table.SetInteger(1, -123);
    table.SetFloat(2, 1234.75);
    DateTime born = 0;
    ASSERT_TRUE(TryEncodeDate(1980, 2, 29, born));
    table.SetDateTime(3, born);
    table.SetString(4, "T");
    table.SetInteger(5, -200000);  // bytes >= 0x80 must not pass through the code page
    table.SetFloat(6, 0.125);
    table.Post();
    EXPECT_EQ(table.RecNo(), 1);
    EXPECT_EQ(table.AsString(0), name);  // the posted record stays current
  }
  std::string bytes = FileBytes(path_);
  EXPECT_EQ(bytes[0], 0x03);
  EXPECT_EQ(static_cast<unsigned char>(bytes[29]), 0x65);
  EXPECT_EQ(bytes[32 + 7 * 32], 0x0D);
  EXPECT_EQ(bytes.back(), 0x1A);
  EXPECT_NE(bytes.find(AnsiToOem(name)), std::string::npos);
  EXPECT_EQ(bytes.find(name), std::string::npos);

  Table table("VELTDBF");
  OpenTable(table, path_);
  EXPECT_EQ(table.FieldByName("NAME").AsString(), name);
  EXPECT_EQ(table.Field(0).name, "NAME");
  EXPECT_EQ(table.FieldByName("code").AsInteger(), -123);
  EXPECT_EQ(table.Kind(1), FieldKind::Integer);
  EXPECT_EQ(table.Kind(2), FieldKind::Float);
  EXPECT_EQ(table.FieldByName("Sum").AsString(), "1234.75");
  EXPECT_DOUBLE_EQ(table.AsFloat(2), 1234.75);
  EXPECT_EQ(table.AsInteger(2), 1235);
  EXPECT_EQ(table.AsString(3), "29.02.1980");
  EXPECT_EQ(DecodeDate(table.AsDateTime(3)).year, 1980);
  EXPECT_EQ(table.AsString(4), "T");
  EXPECT_EQ(table.AsInteger(5), -200000);
  EXPECT_EQ(table.AsString(6), "0.125");
  EXPECT_EQ(table.TextView(0), name);
  EXPECT_TRUE(table.FieldExists("born"));
  EXPECT_FALSE(table.FieldExists("BORNE"));
}

TEST_F(TableTest, WithoutOemTranslationTextIsStoredAsGiven) {
  Create(path_, {{"NAME", "C", 10, 0}}, false);
  Table table;
  OpenTable(table, path_, false, false);
  EXPECT_EQ(table.LanguageDriver(), 0);
  table.Append();
  table.SetString(0, A("Ёлка"));
  table.Post();
  table.Close();
  EXPECT_NE(FileBytes(path_).find(A("Ёлка")), std::string::npos);
}

TEST_F(TableTest, NumbersAreWrittenRightJustifiedAndRoundedHalfAwayFromZero) {
  struct Case {
    double value;
    int width, decimals;
    const char* stored;  // nullptr: does not fit
  };
  const Case cases[] = {
      {12.345, 10, 2, "     12.35"}, {2.675, 6, 2, "  2.68"},
      {-12.345, 7, 2, " -12.35"},    {0.005, 4, 2, "0.01"},
      {-0.004, 5, 2, " 0.00"},       {9.995, 5, 2, "10.00"},
      {99.995, 5, 2, nullptr},       {12.5, 4, 0, "  13"},
      {-12.5, 4, 0, " -13"},         {1, 8, 0, "       1"},
      {12345, 4, 0, nullptr},        {1e20, 25, 0, "    100000000000000000000"},
      {0.1, 6, 3, " 0.100"},         {123456789.5, 10, 2, nullptr},
  };
  for (const Case& c : cases) {
    char out[32] = {};
    bool fits = dbf::FormatNumber(c.value, c.width, c.decimals, out);
    EXPECT_EQ(fits, c.stored != nullptr) << c.value;
    if (fits && c.stored) {
      EXPECT_EQ(std::string(out, c.width), c.stored) << c.value;
    }
  }
  std::string text;
  dbf::NumberText(123456789.123456789, text);
  EXPECT_EQ(text, "123456789.123457");  // fifteen significant digits
  EXPECT_EQ(dbf::NumberText(-0.00025), "-0.00025");
  EXPECT_EQ(dbf::NumberText(1e17), "100000000000000000");
  EXPECT_EQ(dbf::NumberText(12.50), "12.5");
}

TEST_F(TableTest, ValueTooWideFailsThePostAndLeavesTheFileUnchanged) {
  Create(path_, {{"HOUSE", "N", 4, 0}, {"TARIF", "N", 10, 2}, {"NAME", "C", 3, 0}});
  Table table("OutNatives");
  OpenTable(table, path_);
  table.Append();
  table.SetInteger(0, 1);
  table.Post();
  const std::string before = FileBytes(path_);

  table.Append();
  table.SetInteger(0, 10000);
  EXPECT_EQ(ErrorOf([&] { table.Post(); }), "Translate error. Value out of bounds");
  EXPECT_EQ(FileBytes(path_), before);
  table.SetInteger(0, 9999);  // a fitting value of the same field clears the fault
  table.SetFloat(1, 1234567.89);
  table.SetString(2, "ABCDEF");  // text is cut, never a fault
  table.Post();
  EXPECT_EQ(table.AsString(2), "ABC");

  table.Append();
  table.SetFloat(1, 123456789.5);
  EXPECT_EQ(ErrorOf([&] { table.Post(); }), "Translate error. Value out of bounds");
  table.Cancel();
  EXPECT_EQ(table.PhysicalCount(), 2);
  table.Append();
  table.Post();
  EXPECT_EQ(table.PhysicalCount(), 3);
}

TEST_F(TableTest, BlankNumbersAndDatesAreNull) {
  Create(path_, {{"N", "N", 5, 0}, {"F", "N", 8, 2}, {"D", "D", 8, 0}, {"C", "C", 4, 0}});
  Table table;
  OpenTable(table, path_);
  table.Append();
  table.Post();
  table.Append();
  table.SetInteger(0, 5);
  table.SetDateTime(2, 0);  // the zero date is a real date, 30.12.1899
  table.SetString(3, "x");
  table.Post();
  table.Edit();
  table.Clear(0);
  table.Clear(2);
  table.Post();
  table.Close();

  std::string bytes = FileBytes(path_);
  std::size_t header = 32 + 4 * 32 + 1;
  EXPECT_EQ(bytes.substr(header, 26), std::string(26, ' '));
  OpenTable(table, path_);
  for (int i = 0; i < 4; ++i) {
    EXPECT_TRUE(table.IsNull(i)) << i;
    EXPECT_EQ(table.AsString(i), "") << i;
    EXPECT_EQ(table.AsInteger(i), 0) << i;
  }
  EXPECT_EQ(table.AsDateTime(2), 0);
  table.Next();
  EXPECT_TRUE(table.IsNull(0));
  EXPECT_FALSE(table.IsNull(3));
  table.Edit();
  table.SetDateTime(2, 0);
  table.SetString(0, " 42 ");
  table.Post();
  EXPECT_EQ(table.AsString(2), "30.12.1899");
  EXPECT_EQ(table.AsInteger(0), 42);
  EXPECT_NE(FileBytes(path_).find("18991230"), std::string::npos);
  table.Edit();
  EXPECT_EQ(ErrorOf([&] { table.SetString(0, "12a"); }), "'12a' is not a valid floating point value");
  EXPECT_EQ(ErrorOf([&] { table.SetString(2, "31.02.2020"); }), "'31.02.2020' is not a valid date");
  table.SetString(2, "1.2.2020");
  EXPECT_EQ(table.AsString(2), "01.02.2020");
}

TEST_F(TableTest, DeletedRecordsAreInvisible) {
  MakeNames(path_, {"a", "b", "c", "d", "e"});
  Table table;
  OpenTable(table, path_);
  table.Next();
  table.Delete();  // b
  EXPECT_EQ(table.RecNo(), 3);
  table.Next();
  table.Delete();  // d
  EXPECT_EQ(table.RecNo(), 5);
  EXPECT_EQ(Walk(table), (std::vector<int>{1, 3, 5}));
  EXPECT_EQ(table.Count(), 3);
  EXPECT_EQ(table.PhysicalCount(), 5);
  table.Close();

  OpenTable(table, path_);
  EXPECT_EQ(table.Count(), 3);
  EXPECT_EQ(Walk(table), (std::vector<int>{1, 3, 5}));
  table.First();
  table.Next();
  table.Next();
  table.Delete();  // the last visible one: back to the one before, at Eof
  EXPECT_TRUE(table.Eof());
  EXPECT_EQ(table.RecNo(), 3);
  EXPECT_EQ(table.Count(), 2);
  EXPECT_EQ(FileBytes(path_)[32 + 32 + 1 + 11 * 4], '*');
}

TEST_F(TableTest, SequentialReadingCrossesBlockBoundaries) {
  Table table;
  table.SetOEMTranslate(true);
  CreateOutputTable(table, path_);
  const int nzap = table.FieldIndex("N_ZAP");
  const int family = table.FieldIndex("FAMILY");
  const int n = 2500;  // about three megabytes of records
  for (int i = 1; i <= n; ++i) {
    table.Append();
    table.SetInteger(nzap, i);
    table.SetString(family, A("Фамилия") + std::to_string(i));
    table.Post();
    if (i % 1000 == 0) {
      table.Delete();
    }
  }
  table.Close();
  OpenTable(table, path_);
  EXPECT_EQ(table.Count(), n - 2);
  int expected = 1;
  for (table.First(); !table.Eof(); table.Next(), ++expected) {
    if (expected % 1000 == 0) ++expected;
    ASSERT_EQ(table.AsInteger(nzap), expected);
    ASSERT_EQ(table.TextView(family), A("Фамилия") + std::to_string(expected));
  }
  EXPECT_EQ(expected, n + 1);
}

// An output table of `n` posted records in batches: N_ZAP is the record's
// number, FAMILY a Cyrillic name with it.
class BatchedTableTest : public TableTest {
 protected:
  static constexpr int kHeader = 32 + 98 * 32 + 1;
  void SetUp() override {
    table_.SetOEMTranslate(true);
    CreateOutputTable(table_, path_);
    table_.SetBatchedPosts(true);
    nzap_ = table_.FieldIndex("N_ZAP");
    family_ = table_.FieldIndex("FAMILY");
  }
  void Post(int i) {
    table_.Append();
    table_.SetInteger(nzap_, i);
    table_.SetString(family_, Family(i));
    table_.Post();
  }
  static std::string Family(int i) { return A("Ёлкин") + std::to_string(i); }
  // The records 1..n in order, those in `edited` with their name doubled.
  void ExpectRecords(int n, const std::vector<int>& edited = {}) {
    int i = 0;
    for (table_.First(); !table_.Eof(); table_.Next()) {
      ASSERT_EQ(table_.AsInteger(nzap_), ++i);
      const bool twice = std::find(edited.begin(), edited.end(), i) != edited.end();
      ASSERT_EQ(table_.TextView(family_), twice ? Family(i) + Family(i) : Family(i));
    }
    EXPECT_EQ(i, n);
  }
  // The file as another reader finds it: the header counts n records and
  // the end mark follows them.
  void ExpectFileHolds(int n) {
    const std::string bytes = FileBytes(path_);
    EXPECT_EQ(static_cast<unsigned char>(bytes[4]) | static_cast<unsigned char>(bytes[5]) << 8, n);
    ASSERT_EQ(bytes.size(), kHeader + std::size_t{kOutputRecordLength} * n + 1);
    EXPECT_EQ(bytes.back(), 0x1A);
  }

  Table table_;
  int nzap_ = -1, family_ = -1;
};

TEST_F(BatchedTableTest, GatheredRecordsAndTheBatchesUnderWayReadAndEditAsWritten) {
  // Several batches: the first ones on the file, one being written, the
  // last gathering.
  const int n = 2500;
  for (int i = 1; i <= n; ++i) Post(i);
  const std::vector<int> edited = {5, 1000, 2400};
  for (int recno : edited) {
    table_.GoTo(recno);
    table_.Edit();
    table_.SetString(family_, Family(recno) + Family(recno));
    table_.Post();
  }
  ExpectRecords(n, edited);
  table_.FlushPosts();
  ExpectFileHolds(n);
  table_.Close();
  OpenTable(table_, path_);
  ExpectRecords(n, edited);
}

TEST_F(BatchedTableTest, ABatchThatFailsOnItsThreadIsToldOnceAndTheRecordsBeforeItStay) {
  // The disk fills up after `fit` records: in the first batch, told by a
  // later Post while a later batch gathers; in the last batch (records
  // 2121 on, half a megabyte being about 424 records), told by the flush.
  for (int fit : {100, 2300}) {
    SCOPED_TRACE(fit);
    if (fit != 100) SetUp();
    const std::uint64_t full = kHeader + std::uint64_t{kOutputRecordLength} * fit + 1;
    platform::FaultHooks hooks;
    hooks.writeFault = [&](const std::string& path, std::uint64_t offset, std::size_t length) {
      return path == path_ && offset + length > full;
    };
    platform::SetFaultHooks(hooks);
    const std::string none = "(no error)";
    std::string error = none;
    int i = 1;
    for (; i <= 2500 && error == none; ++i) error = ErrorOf([&] { Post(i); });
    const bool toldByFlush = error == none;
    if (toldByFlush) error = ErrorOf([&] { table_.FlushPosts(); });
    EXPECT_EQ(error, "Unable to write table: " + path_ + A("\nФайл ") + path_ +
                         A(": нельзя записать: диск заполнен."));
    EXPECT_EQ(toldByFlush, fit == 2300);
    EXPECT_EQ(ErrorOf([&] { table_.FlushPosts(); }), none);
    EXPECT_EQ(table_.PhysicalCount(), fit);
    platform::SetFaultHooks({});
    ExpectFileHolds(fit);
    table_.Close();
    OpenTable(table_, path_);
    ExpectRecords(fit);
    table_.Close();
  }
}

TEST_F(BatchedTableTest, AReadWaitsForTheBatchInFlightAndCloseTellsOfABatchThatFailed) {
  // The first batch's write is held up on its thread; a read of one of its
  // records meanwhile waits for it and finds the file holding the batch.
  std::atomic<bool> writing{false};
  platform::FaultHooks slow;
  slow.writeFault = [&](const std::string& path, std::uint64_t, std::size_t length) {
    if (path == path_ && length > kOutputRecordLength && !writing.exchange(true))
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    return false;
  };
  platform::SetFaultHooks(slow);
  const int batch = (1 << 19) / kOutputRecordLength;
  for (int i = 1; i <= batch + 1; ++i) Post(i);
  while (!writing) std::this_thread::yield();
  table_.GoTo(batch);
  EXPECT_EQ(table_.TextView(family_), Family(batch));
  ExpectFileHolds(batch);
  platform::SetFaultHooks({});

  // A batch that cannot be written is told by Close, which closes anyway.
  platform::FaultHooks full;
  full.writeFault = [&](const std::string& path, std::uint64_t, std::size_t) { return path == path_; };
  platform::SetFaultHooks(full);
  Post(batch + 2);
  EXPECT_EQ(ErrorOf([&] { table_.Close(); }), "Unable to write table: " + path_ + A("\nФайл ") + path_ +
                                                  A(": нельзя записать: диск заполнен."));
  EXPECT_FALSE(table_.Active());
  platform::SetFaultHooks({});
  OpenTable(table_, path_);
  ExpectRecords(batch);
}

TEST_F(TableTest, IndexKeepsRecordOrderForEqualKeysInBothDirections) {
  MakeNames(path_, {"B", "A", "B", "C", "A"});
  Table table;
  OpenTable(table, path_);
  EXPECT_EQ(table.Index(dir_.File("asc.ntx"), "NAME", 0, false, ""), 1);
  EXPECT_EQ(table.Index(dir_.File("desc.ntx"), "NAME", 0, true, ""), 2);
  EXPECT_TRUE(platform::FileExists(dir_.File("asc.ntx")));
  EXPECT_EQ(Walk(table), (std::vector<int>{1, 2, 3, 4, 5}));  // not active before SetOrder
  table.SetOrder(1);
  EXPECT_EQ(Walk(table), (std::vector<int>{2, 5, 1, 3, 4}));
  table.SetOrder(2);
  EXPECT_EQ(Walk(table), (std::vector<int>{4, 1, 3, 2, 5}));
  table.SetScope("B", "B");
  EXPECT_EQ(table.RecNo(), 1);
  EXPECT_EQ(table.Count(), 2);
  table.SetScope("A", "B");  // from low to high in a descending order too
  EXPECT_EQ(Walk(table), (std::vector<int>{1, 3, 2, 5}));
  table.SetOrder(0);
  EXPECT_EQ(Walk(table), (std::vector<int>{1, 2, 3, 4, 5}));
}

TEST_F(TableTest, ScopeMatchesWholeKeysIgnoringTrailingBlanks) {
  MakeNames(path_, {A("Иванова"), A("иванов"), A("ИВАН"), "", A("Иванов"), A("Ёж")});
  Table table;
  OpenTable(table, path_);
  table.SetOrder(table.Index(dir_.File("n.ntx"), "UPPER(NAME)", 0, false, ""));
  table.SetScope(A("ИВАНОВ"), A("ИВАНОВ"));
  EXPECT_EQ(table.Count(), 2);
  EXPECT_EQ(Walk(table), (std::vector<int>{2, 5}));
  table.SetScope(A("ИВАНОВ   "), A("ИВАНОВ   "));
  EXPECT_EQ(table.Count(), 2);
  EXPECT_EQ(table.RecNo(), 2);         // the first record of the scope is current
  table.SetScope(A("ИВА"), A("ИВА"));  // no prefix match
  EXPECT_EQ(table.Count(), 0);
  EXPECT_TRUE(table.Eof());
  table.SetScope("", "");
  EXPECT_EQ(Walk(table), (std::vector<int>{4}));
  table.SetScope(A("ИВАНОВАИВАНОВ"), A("ИВАНОВАИВАНОВ"));  // longer than the key
  EXPECT_EQ(table.Count(), 0);
  table.SetScope(A("Ёж"), A("Ёж"));  // upper-cased keys: the lower-case scope finds nothing
  EXPECT_EQ(table.Count(), 0);
  table.SetScope(A("ЁЖ"), A("ЁЖ"));
  EXPECT_EQ(table.Count(), 1);
  table.CancelScope();
  EXPECT_EQ(table.Count(), 6);
  // In code page 866 order: the empty key, then ИВАН..., then Ё after Я.
  EXPECT_EQ(Walk(table), (std::vector<int>{4, 3, 2, 5, 1, 6}));
}

TEST_F(TableTest, NumericIndexComparesScopeKeysAsNumbers) {
  Create(path_, {{"NPP", "N", 4, 0}, {"CATEGORY", "N", 1, 0}});
  Table table;
  OpenTable(table, path_);
  for (int v : {10, 1, 2, 1, -3}) {
    table.Append();
    table.SetInteger(0, v);
    table.SetInteger(1, v == 1 ? 7 : 0);
    table.Post();
  }
  table.SetOrder(table.Index(dir_.File("npp.ntx"), "NPP", 0, false, ""));
  EXPECT_EQ(Walk(table), (std::vector<int>{5, 2, 4, 3, 1}));  // -3 before 1, 10 last
  for (const char* key : {"1", " 1", "1.0", "1.00 "}) {
    table.SetScope(key, key);
    EXPECT_EQ(table.Count(), 2) << key;
    EXPECT_EQ(table.AsInteger(1), 7) << key;
  }
  table.SetScope("2", "10");
  EXPECT_EQ(Walk(table), (std::vector<int>{3, 1}));
  table.SetScope("x", "x");
  EXPECT_EQ(table.Count(), 0);

  // A character key of STR() is compared as text, right-justified.
  table.SetOrder(table.Index(dir_.File("str.ntx"), "STR(NPP,4)", 0, true, ""));
  table.SetScope("   1", "   1");
  EXPECT_EQ(table.Count(), 2);
  table.SetScope("1", "1");
  EXPECT_EQ(table.Count(), 0);
}

TEST_F(TableTest, IndexConditionKeepsOnlyMatchingRecords) {
  Create(path_, {{"COD_SPEC", "N", 4, 0},
                 {"CATEGORY", "N", 1, 0},
                 {"PLACE", "N", 2, 0},
                 {"PURPOSE", "C", 2, 0},
                 {"TARIF", "N", 10, 2}});
  Table table;
  OpenTable(table, path_);
  struct Row {
    int spec, category, place;
    const char* purpose;
    double tarif;
  } rows[] = {{76, 1, 20, "03", 100}, {76, 1, 30, "03", 200}, {76, 1, 20, "01", 300}, {76, 2, 20, "03", 400}};
  for (const Row& r : rows) {
    table.Append();
    table.SetInteger(0, r.spec);
    table.SetInteger(1, r.category);
    table.SetInteger(2, r.place);
    table.SetString(3, r.purpose);
    table.SetFloat(4, r.tarif);
    table.Post();
  }
  table.SetOrder(table.Index(dir_.File("tarif.ntx"), "STR(COD_SPEC,4)+STR(CATEGORY,1)", 0, true,
                             "PLACE=20 AND PURPOSE='03'"));
  EXPECT_EQ(table.Count(), 2);
  table.SetScope("  761", "  761");
  EXPECT_EQ(table.Count(), 1);
  EXPECT_EQ(table.AsString(4), "100");
  EXPECT_EQ(ErrorOf([&] { table.Index(dir_.File("x.ntx"), "NPP", 0, false, ""); }),
            "Invalid index expression [NPP]");
  EXPECT_EQ(ErrorOf([&] { table.Index(dir_.File("x.ntx"), "PURPOSE", 0, false, "COD_SPEC+1"); }),
            "Invalid index expression [COD_SPEC+1]");
}

TEST_F(TableTest, IndexFollowsAppendsEditsAndDeletes) {
  MakeNames(path_, {"B", "A", "C"});
  Table table;
  OpenTable(table, path_, true);
  table.SetOrder(table.Index(dir_.File("n.ntx"), "NAME", 0, false, ""));
  table.SetScope("A", "A");
  EXPECT_EQ(table.Count(), 1);
  table.Append();
  table.SetString(0, "A");
  table.Post();
  EXPECT_EQ(table.RecNo(), 4);
  EXPECT_EQ(table.Count(), 2);

  table.SetScope("C", "C");
  table.Edit();
  table.SetString(0, "A");
  table.Post();
  EXPECT_EQ(table.Count(), 0);
  table.SetScope("A", "A");
  EXPECT_EQ(Walk(table), (std::vector<int>{2, 3, 4}));
  table.First();
  table.Delete();
  EXPECT_EQ(table.RecNo(), 3);
  EXPECT_EQ(table.Count(), 2);
  table.InsertBlank();
  EXPECT_EQ(table.RecNo(), 5);
  table.SetScope("", "");
  EXPECT_EQ(Walk(table), (std::vector<int>{5}));

  table.Pack();  // records renumbered: B, C->A, A(4), blank
  table.SetScope("A", "A");
  EXPECT_EQ(Walk(table), (std::vector<int>{2, 3}));
  table.CancelScope();
  EXPECT_EQ(table.Count(), 4);
  table.Zap();
  EXPECT_EQ(table.Count(), 0);
  EXPECT_TRUE(table.Eof());
}

TEST_F(TableTest, ErrorTexts) {
  Table unnamed, named("VELTDBF");
  EXPECT_EQ(ErrorOf([&] { unnamed.Open(); }), " : Missing TableName property");
  EXPECT_EQ(ErrorOf([&] { named.Open(); }), "VELTDBF : Missing TableName property");
  EXPECT_EQ(ErrorOf([&] { unnamed.Append(); }), "Cannot perform this operation on a closed dataset");
  EXPECT_EQ(ErrorOf([&] { named.Append(); }), "VELTDBF: Cannot perform this operation on a closed dataset");
  for (auto action : std::vector<std::function<void()>>{
           [&] { named.Index(dir_.File("a.ntx"), "NAME", 0, false, ""); }, [&] { named.SetOrder(1); },
           [&] { named.SetScope("a", "a"); }, [&] { named.Pack(); }})
    EXPECT_EQ(ErrorOf(action), "Cannot perform this operation on a closed table");

  const std::string missing = dir_.File("none.dbf");
  named.SetTableName(missing);
  EXPECT_EQ(ErrorOf([&] { named.Open(); }),
            "Table does not exist.\nFile or directory does not exist.\nFile: " + missing);
  named.SetTableName(dir_.File("no/folder.dbf"));
  EXPECT_EQ(ErrorOf([&] { named.Open(); }),
            "Table does not exist.\nFile or directory does not exist.\nFile: " + dir_.File("no/folder.dbf"));

  MakeNames(path_, {"a"});
  OpenTable(named, path_);
  EXPECT_EQ(ErrorOf([&] { named.SetTableName("x"); }), "Cannot perform this operation on an open table");
  EXPECT_EQ(ErrorOf([&] { named.SetExclusive(true); }), "Cannot perform this operation on an open table");
  EXPECT_EQ(ErrorOf([&] { named.FieldByName("Xyz"); }), "VELTDBF: Field 'Xyz' not found");
  EXPECT_EQ(ErrorOf([&] { unnamed.FieldByName("Xyz"); }), "Field 'Xyz' not found");
  EXPECT_EQ(ErrorOf([&] { named.SetString(0, "b"); }), "VELTDBF: Dataset not in edit or insert mode");
  EXPECT_EQ(ErrorOf([&] { named.Index(dir_.File("a.ntx"), "UPPER(", 0, false, ""); }),
            "Invalid index expression [UPPER(]");
  EXPECT_EQ(ErrorOf([&] { named.Pack(); }),
            "Table must be opened in Exclusive mode to perform this operation");
  EXPECT_EQ(ErrorOf([&] { named.Zap(); }),
            "Table must be opened in Exclusive mode to perform this operation");

  Table creator;
  EXPECT_THROW(creator.CreateNew("", 2, 1), Error);
  creator.CreateNew(dir_.File("new.dbf"), 2, 1);
  EXPECT_EQ(ErrorOf([&] { creator.CreateField("", "C", 1, 0); }),
            "Invalid field name. Field names must begin with a letter");
  EXPECT_EQ(ErrorOf([&] { creator.CreateField("1A", "C", 1, 0); }),
            "Invalid field name. Field names must begin with a letter");
  EXPECT_EQ(ErrorOf([&] { creator.CreateField("A", "", 1, 0); }), "Invalid field type");
  EXPECT_EQ(ErrorOf([&] { creator.CreateField("A", "C", 0, 0); }), "Invalid field length.");
  EXPECT_EQ(ErrorOf([&] { creator.CreateField("A", "N", -1, 0); }), "Invalid field length.");
}

TEST_F(TableTest, LocksAndReadOnlyFiles) {
  MakeNames(path_, {"a", "b"});
  {
    Table first, second;
    OpenTable(first, path_, true);
    EXPECT_EQ(ErrorOf([&] { OpenTable(second, path_); }), "Unable to open table: " + path_);
    first.Close();
    OpenTable(second, path_);
    Table third;
    OpenTable(third, path_);  // shared opens share
    Table fourth;
    EXPECT_EQ(ErrorOf([&] { OpenTable(fourth, path_, true); }), "Unable to open table: " + path_);
  }

  platform::FaultHooks hooks;
  hooks.denyWriteOpen = [&](const std::string& path) { return path == path_; };
  platform::SetFaultHooks(hooks);
  Table table;
  OpenTable(table, path_, true);
  EXPECT_TRUE(table.ReadOnly());
  EXPECT_EQ(table.Count(), 2);
  EXPECT_EQ(table.AsString(0), "a");
  for (auto action : std::vector<std::function<void()>>{[&] { table.Append(); }, [&] { table.Edit(); },
                                                        [&] { table.Delete(); }, [&] { table.InsertBlank(); },
                                                        [&] { table.Zap(); }, [&] { table.Pack(); }})
    EXPECT_EQ(ErrorOf(action), "Cannot modify a read-only data set");
  EXPECT_EQ(table.Index(dir_.File("ro.ntx"), "NAME", 0, false, ""), 1);  // an index writes no table
  platform::SetFaultHooks({});
  Table other;
  EXPECT_EQ(ErrorOf([&] { OpenTable(other, path_); }), "Unable to open table: " + path_);  // still locked
}

TEST_F(TableTest, PackKeepsLiveRecordsAndTheLockZapEmpties) {
  MakeNames(path_, {"a", "b", "c", "d"});
  Table table;
  OpenTable(table, path_, true);
  table.Next();
  table.Delete();
  table.Delete();
  EXPECT_EQ(table.AsString(0), "d");
  table.Pack();
  EXPECT_EQ(table.PhysicalCount(), 2);
  EXPECT_EQ(Walk(table), (std::vector<int>{1, 2}));
  table.First();
  table.Next();
  EXPECT_EQ(table.AsString(0), "d");
  EXPECT_EQ(FileBytes(path_).size(), 32u + 32 + 1 + 2 * 11 + 1);
  EXPECT_FALSE(platform::FileExists(path_ + ".pack~"));
  Table other;
  EXPECT_EQ(ErrorOf([&] { OpenTable(other, path_); }), "Unable to open table: " + path_);
  table.Append();
  table.SetString(0, "e");
  table.Post();
  table.Zap();
  EXPECT_EQ(table.PhysicalCount(), 0);
  EXPECT_TRUE(table.Eof());
  table.Close();
  EXPECT_EQ(FileBytes(path_).size(), 32u + 32 + 1 + 1);
  OpenTable(table, path_);
  EXPECT_EQ(table.Count(), 0);
}

TEST_F(TableTest, AppendFromCopiesLiveRecordsByFieldName) {
  const std::string source = dir_.File("src.dbf");
  Create(source, {{"extra", "C", 3, 0}, {"name", "C", 12, 0}, {"SUM", "N", 8, 3}, {"DAY", "D", 8, 0}}, false);
  {
    Table table;
    OpenTable(table, source, false, false);
    for (int i = 1; i <= 3; ++i) {
      table.Append();
      table.SetString(0, "zzz");
      table.SetString(1, A("Имя длинное ") + std::to_string(i));
      table.SetFloat(2, i + 0.125);
      table.SetDateTime(3, 45000 + i);
      table.Post();
    }
    table.First();
    table.Next();
    table.Delete();
  }
  Create(path_, {{"NAME", "C", 8, 0}, {"Sum", "N", 6, 2}, {"DAY", "D", 8, 0}, {"OWN", "C", 2, 0}});
  Table table("J");
  OpenTable(table, path_, true);
  table.AppendFrom(source, 32, "");
  EXPECT_EQ(table.Count(), 2);
  table.Close();
  std::string bytes = FileBytes(path_);
  EXPECT_NE(bytes.find(A("Имя длин")), std::string::npos);  // 1251 bytes copied as they are
  OpenTable(table, path_, true, false);
  EXPECT_EQ(table.AsString(0), A("Имя длин"));
  EXPECT_EQ(table.AsString(1), "1.13");
  EXPECT_EQ(table.AsDateTime(2), 45001);
  EXPECT_TRUE(table.IsNull(3));
  table.Next();
  EXPECT_EQ(table.AsString(1), "3.13");

  try {
    table.AppendFrom(dir_.File("missing.dbf"), 32, "");
    ADD_FAILURE() << "appended from a missing table";
  } catch (const Error& error) {
    EXPECT_TRUE(error.Unavailable());
  }
  platform::WriteWholeFile(dir_.File("junk.dbf"), std::string(200, 'x'));
  EXPECT_EQ(ErrorOf([&] { table.AppendFrom(dir_.File("junk.dbf"), 32, ""); }),
            "Unable to open table: " + dir_.File("junk.dbf"));
  EXPECT_EQ(table.Count(), 2);
}

TEST_F(TableTest, CopyStructureAndCreateExec) {
  Create(path_, {{"A", "C", 5, 0}, {"B", "N", 7, 2}});
  MakeNames(dir_.File("other.dbf"), {"x"});
  Table table;
  table.SetTableName(path_);
  table.SetOEMTranslate(true);
  table.CopyStructure(dir_.File("copy.dbf"));
  EXPECT_FALSE(table.Active());
  EXPECT_THROW(table.CopyStructure(dir_.File("no/copy.dbf")), Error);
  OpenTable(table, path_);
  table.CopyStructure(dir_.File("other.dbf"));  // replaces the existing file
  EXPECT_TRUE(table.Active());
  table.Close();
  Table copy;
  OpenTable(copy, dir_.File("other.dbf"));
  EXPECT_EQ(copy.PhysicalCount(), 0);
  EXPECT_EQ(copy.LanguageDriver(), 0x65);
  ASSERT_EQ(copy.FieldCount(), 2);
  EXPECT_EQ(copy.Field(1).width, 7);
  EXPECT_EQ(copy.Field(1).decimals, 2);

  Table creator;
  creator.CreateNew(dir_.File("no/t.dbf"), 2, 1);
  creator.CreateField("A", "C", 1, 0);
  EXPECT_THROW(creator.CreateExec(), Error);
  EXPECT_THROW(creator.CreateExec(), Error);  // nothing defined any more
}

TEST_F(TableTest, InsertBlankEditAndCancel) {
  MakeNames(path_, {"a"});
  Table table;
  OpenTable(table, path_);
  table.InsertBlank();
  EXPECT_EQ(table.RecNo(), 2);
  EXPECT_EQ(table.PhysicalCount(), 2);
  table.Edit();
  table.SetString(0, "b");
  EXPECT_TRUE(table.Modified());
  table.Cancel();
  EXPECT_EQ(table.AsString(0), "");
  table.First();
  table.Edit();
  table.Append();  // posts the unchanged edit, then drops the new record
  table.Cancel();
  table.Edit();
  table.SetString(0, "z");
  table.Next();  // moving posts the pending edit
  table.Close();
  OpenTable(table, path_);
  EXPECT_EQ(table.AsString(0), "z");
  EXPECT_EQ(table.PhysicalCount(), 2);
}

TEST_F(TableTest, OutputTableLayout) {
  Table table("OutNatives");
  table.SetOEMTranslate(true);
  CreateOutputTable(table, path_);
  ASSERT_TRUE(table.Active());
  ASSERT_EQ(table.FieldCount(), kOutputFieldCount);
  EXPECT_EQ(table.Fields().back().offset + table.Fields().back().width, kOutputRecordLength);
  for (int i = 0; i < kOutputFieldCount; ++i) EXPECT_EQ(table.Field(i).name, kOutputLayout[i].name);
  const int nzap = static_cast<int>(Out::N_ZAP);
  EXPECT_EQ(table.Kind(nzap), FieldKind::Float);
  EXPECT_EQ(table.Kind(static_cast<int>(Out::HOUSE)), FieldKind::Integer);
  table.Append();
  table.SetInteger(nzap, 1);
  table.SetString(static_cast<int>(Out::FAMILY), A("Пётр"));
  table.SetInteger(static_cast<int>(Out::HOUSE), 10000);
  EXPECT_EQ(ErrorOf([&] { table.Post(); }), "Translate error. Value out of bounds");
  table.SetInteger(static_cast<int>(Out::HOUSE), 12);
  table.Post();
  table.Close();

  std::string bytes = FileBytes(path_);
  const std::size_t header = 32 + 98 * 32 + 1;
  ASSERT_EQ(bytes.size(), header + kOutputRecordLength + 1);
  EXPECT_EQ(static_cast<unsigned char>(bytes[10]) | static_cast<unsigned char>(bytes[11]) << 8,
            kOutputRecordLength);
  OpenTable(table, path_);
  EXPECT_EQ(bytes.substr(header + table.Field(nzap).offset, 8), "       1");
  EXPECT_EQ(table.AsString(nzap), "1");
  EXPECT_EQ(table.AsString(static_cast<int>(Out::FAMILY)), A("Пётр"));
  EXPECT_TRUE(table.IsNull(static_cast<int>(Out::DATE)));
  EXPECT_EQ(bytes.substr(header + table.Field(static_cast<int>(Out::DATE)).offset, 8), "        ");
  EXPECT_EQ(table.AsString(static_cast<int>(Out::TARIF)), "");
}

}  // namespace
}  // namespace velt
