// The mapping lookup of a run answers every key as the scope walk of
// RecodeValueEx does, over mapping tables whose keys repeat, differ in
// trailing blanks or a NUL, hold bytes that the other code page lacks, are
// empty or deleted, and whose PAVK choices take every form.
#include "reference/mapping_lookup.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "reference/test_tables.h"
#include "support/code_page.h"

namespace velt {
namespace {

using namespace std::string_literals;
using testing::MappingColumns;

class MappingLookupTest : public testing::AppFolderTest {
 protected:
  // Rows written as raw bytes (code page 866 on disk), some then deleted.
  void WriteRawMapping(const std::string& name, const std::vector<testing::Row>& rows) {
    const std::string path = MappingFile(name + ".dbf");
    testing::WriteTable(path, MappingColumns(), {});
    Table table;
    table.SetTableName(path);
    table.Open();
    for (std::size_t i = 0; i < rows.size(); ++i) {
      table.Append();
      for (int field = 0; field < 3; ++field)
        table.SetString(field, rows[i][static_cast<std::size_t>(field)]);
      table.Post();
      if (i % 11 == 5) table.Delete();
    }
  }

  void ExpectSameAnswers(Lookup slot, const std::vector<std::string>& keys) {
    Table& table = Slot(slot);
    MappingLookup lookup;
    lookup.Build(table);
    int mapped = 0;
    for (const std::string& key : keys) {
      const RecodeResult walk = RecodeValueEx(key, table);
      const RecodeResult hash = lookup.Find(key);
      EXPECT_EQ(hash.code, walk.code) << LookupName(slot) << " '" << key << "'";
      EXPECT_EQ(hash.mapped, walk.mapped) << LookupName(slot) << " '" << key << "'";
      mapped += walk.mapped;
    }
    EXPECT_GT(mapped, static_cast<int>(keys.size() / 10));  // not only misses
  }
};

TEST_F(MappingLookupTest, AnswersEveryKeyAsTheScopeWalk) {
  // Keys and choices from small alphabets, so that they repeat; 0xB0 and
  // 0xF8 are 866 letters without a 1251 counterpart, 0x88 a 1251 one
  // without an 866 counterpart.
  const std::vector<std::string> keyParts = {"1",    "01", "1 ",       " 1", "1\0"s, "\xB0", "\xF8",
                                             "\x88", "?",  "\x80\xA0", "",   "12",   "1#",   "\t"};
  const std::vector<std::string> choices = {"7 - x",    "12- x",  "",      " ",      "-5 - x", "x",
                                            "0x1A - x", "99 - x", "3 - y", " 9 - x", "0 - z"};
  std::mt19937 rng(16);
  auto key = [&] {
    std::string k = keyParts[rng() % keyParts.size()];
    if (rng() % 3 == 0) k += keyParts[rng() % keyParts.size()];
    return k;
  };
  for (const char* name : {"tr_rslt", "tr_lpu"}) {
    std::vector<testing::Row> rows;
    for (int i = 0; i < 400; ++i) rows.push_back({key(), key(), choices[rng() % choices.size()]});
    WriteRawMapping(name, rows);
  }
  ASSERT_TRUE(OpenReferenceTable("tr_rslt"));
  ASSERT_TRUE(OpenReferenceTable("tr_lpu"));

  std::vector<std::string> keys;
  for (const std::string& a : keyParts) {
    keys.push_back(a);
    for (const std::string& b : keyParts) keys.push_back(a + b);
  }
  // What the archive holds is 1251: the 866 letters arrive as '?', and a
  // key may end in blanks only if it was built so.
  for (std::string& k : keys) OemToAnsiInPlace(k.data(), k.size());
  keys.push_back("1  ");
  keys.push_back(std::string(101, '1'));
  ExpectSameAnswers(Lookup::tr_rslt, keys);
  ExpectSameAnswers(Lookup::tr_lpu, keys);
}

}  // namespace
}  // namespace velt
