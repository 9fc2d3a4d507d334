#include "table/ntx_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

#include "support/error.h"
#include "support/platform.h"
#include "support_files/temp_dir.h"

namespace velt {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

unsigned U16(const std::string& b, std::size_t at) {
  return static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8;
}
std::uint32_t U32(const std::string& b, std::size_t at) {
  return U16(b, at) | static_cast<std::uint32_t>(U16(b, at + 2)) << 16;
}

struct Item {
  std::string key;
  std::uint32_t recno;
};

// Walks a written file the way a reader of NTX files does and checks its
// shape: sizes, pointers, occupancy, leaf depth, every page reached once.
class NtxChecker {
 public:
  explicit NtxChecker(std::string file) : file_(std::move(file)) {}

  std::vector<Item> Walk() {
    EXPECT_EQ(file_.size() % 1024, 0u);
    keySize_ = U16(file_, 14);
    EXPECT_EQ(U16(file_, 12), keySize_ + 8) << "item size";
    maxKeys_ = U16(file_, 18);
    EXPECT_EQ(static_cast<int>(maxKeys_), NtxMaxKeys(keySize_));
    EXPECT_EQ(U16(file_, 20), maxKeys_ / 2);
    EXPECT_EQ(U32(file_, 8), 0u) << "free list";
    std::vector<Item> items;
    Visit(U32(file_, 4), 0, true, items);
    EXPECT_EQ(visited_.size(), file_.size() / 1024 - 1) << "pages nobody points at";
    return items;
  }
  int LeafDepth() const { return leafDepth_; }

 private:
  bool ValidPointer(std::uint32_t offset) const {
    return offset % 1024 == 0 && offset >= 1024 && offset + 1024 <= file_.size();
  }

  void Visit(std::uint32_t page, int depth, bool root, std::vector<Item>& items) {
    ASSERT_TRUE(ValidPointer(page)) << page;
    ASSERT_TRUE(visited_.insert(page).second) << "page reached twice: " << page;
    const unsigned n = U16(file_, page);
    ASSERT_LE(n, maxKeys_);
    if (!root) {
      EXPECT_GE(n, maxKeys_ / 2) << "underfull page at depth " << depth;
    }
    const auto entry = [&](unsigned i) {
      const unsigned at = U16(file_, page + 2 + 2 * i);
      EXPECT_LE(at + keySize_ + 8, 1024u);
      return page + at;
    };
    const bool leaf = U32(file_, entry(0)) == 0;
    if (leaf) {
      if (leafDepth_ < 0) leafDepth_ = depth;
      EXPECT_EQ(depth, leafDepth_) << "leaves at different depths";
    }
    for (unsigned i = 0; i <= n; ++i) {
      const std::size_t e = entry(i);
      const std::uint32_t child = U32(file_, e);
      if (leaf) {
        EXPECT_EQ(child, 0u);
      } else {
        Visit(child, depth + 1, false, items);
      }
      if (i < n) items.push_back({file_.substr(e + 8, keySize_), U32(file_, e + 4)});
    }
  }

  std::string file_;
  unsigned keySize_ = 0, maxKeys_ = 0;
  int leafDepth_ = -1;
  std::set<std::uint32_t> visited_;
};

// `count` keys of `keySize` bytes in index order, with duplicates among them
// (each key value is used up to three times, with ascending record numbers).
struct KeySet {
  std::string bytes;
  std::vector<std::uint32_t> recnos;
};

KeySet MakeKeys(std::size_t count, int keySize, bool descending) {
  KeySet set;
  std::vector<std::pair<std::string, std::uint32_t>> items;
  for (std::size_t i = 0; i < count; ++i) {
    std::string key = std::to_string(i / 3);
    key = std::string(keySize > static_cast<int>(key.size()) ? keySize - key.size() : 0, ' ') + key;
    key = key.substr(key.size() - keySize);
    items.push_back({key, static_cast<std::uint32_t>(count - i)});  // record numbers out of key order
  }
  std::sort(items.begin(), items.end(), [descending](const auto& a, const auto& b) {
    if (a.first != b.first) return descending ? a.first > b.first : a.first < b.first;
    return a.second < b.second;
  });
  for (const auto& [key, recno] : items) {
    set.bytes += key;
    set.recnos.push_back(recno);
  }
  return set;
}

// Writes the keys, walks the file and checks it gives them back in order.
void WriteAndCheck(const testing::TempDir& dir, std::size_t count, int keySize, bool descending) {
  SCOPED_TRACE("count " + std::to_string(count) + ", key size " + std::to_string(keySize) +
               (descending ? ", descending" : ""));
  const KeySet keys = MakeKeys(count, keySize, descending);
  NtxDescription d;
  d.keyExpression = "KEY";
  d.keySize = keySize;
  d.descending = descending;
  const std::string path = dir.File("check.ntx");
  WriteNtxFile(path, d, keys.bytes.data(), keys.recnos.data(), count);

  NtxChecker checker(ReadFile(path));
  const std::vector<Item> items = checker.Walk();
  ASSERT_EQ(items.size(), count);
  std::set<std::uint32_t> seen;
  for (std::size_t i = 0; i < count; ++i) {
    EXPECT_EQ(items[i].key, keys.bytes.substr(i * keySize, keySize)) << i;
    EXPECT_EQ(items[i].recno, keys.recnos[i]) << i;
    EXPECT_TRUE(seen.insert(items[i].recno).second) << "record twice: " << items[i].recno;
    if (i == 0) continue;
    const Item& before = items[i - 1];
    const int order = descending ? before.key.compare(items[i].key) : items[i].key.compare(before.key);
    EXPECT_TRUE(order > 0 || (order == 0 && before.recno < items[i].recno)) << "order at " << i;
  }
}

TEST(NtxWriter, MaxKeysPerPage) {
  EXPECT_EQ(NtxMaxKeys(4), 72);
  EXPECT_EQ(NtxMaxKeys(5), 66);
  EXPECT_EQ(NtxMaxKeys(10), 50);
  EXPECT_EQ(NtxMaxKeys(40), 18);
  EXPECT_EQ(NtxMaxKeys(256), 2);
}

TEST(NtxWriter, HeaderFields) {
  testing::TempDir dir;
  NtxDescription d;
  d.keyExpression = "STR(COD_SPEC,4)+STR(CATEGORY,1)";
  d.condition = "PLACE=20 AND PURPOSE='03'";
  d.keySize = 5;
  d.keyDecimals = 0;
  d.unique = true;
  d.descending = true;
  const std::string keys = " 1231 1232";
  const std::uint32_t recnos[] = {4, 2};
  WriteNtxFile(dir.File("tarif.ntx"), d, keys.data(), recnos, 2);

  const std::string f = ReadFile(dir.File("tarif.ntx"));
  ASSERT_EQ(f.size(), 2048u);
  EXPECT_EQ(U16(f, 0), 7u);  // a condition is stored
  EXPECT_EQ(U16(f, 2), 1u);
  EXPECT_EQ(U32(f, 4), 1024u);
  EXPECT_EQ(U16(f, 12), 13u);
  EXPECT_EQ(U16(f, 14), 5u);
  EXPECT_EQ(U16(f, 16), 0u);
  EXPECT_EQ(U16(f, 18), 66u);
  EXPECT_EQ(U16(f, 20), 33u);
  EXPECT_EQ(f.substr(22, 256), d.keyExpression + std::string(256 - d.keyExpression.size(), '\0'));
  EXPECT_EQ(f[278], 1);
  EXPECT_EQ(f[280], 1);
  EXPECT_EQ(f.substr(282, 256), d.condition + std::string(256 - d.condition.size(), '\0'));
  EXPECT_EQ(f.substr(538, 1024 - 538), std::string(1024 - 538, '\0'));

  // The root leaf: two keys, slot offsets in order, entries as given.
  EXPECT_EQ(U16(f, 1024), 2u);
  const unsigned first = 2 + 2 * 67;
  for (unsigned i = 0; i <= 66; ++i) EXPECT_EQ(U16(f, 1024 + 2 + 2 * i), first + i * 13) << i;
  EXPECT_EQ(U32(f, 1024 + first), 0u);
  EXPECT_EQ(U32(f, 1024 + first + 4), 4u);
  EXPECT_EQ(f.substr(1024 + first + 8, 5), " 1231");
  EXPECT_EQ(U32(f, 1024 + first + 13 + 4), 2u);

  // Without a condition the signature is 6 and the flags are clear.
  NtxDescription plain;
  plain.keyExpression = "UPPER(NAME)";
  plain.keySize = 40;
  WriteNtxFile(dir.File("city.ntx"), plain, nullptr, nullptr, 0);
  const std::string g = ReadFile(dir.File("city.ntx"));
  ASSERT_EQ(g.size(), 2048u);
  EXPECT_EQ(U16(g, 0), 6u);
  EXPECT_EQ(g[278], 0);
  EXPECT_EQ(g[280], 0);
  EXPECT_EQ(g[282], 0);
  EXPECT_EQ(U16(g, 1024), 0u);  // empty root
}

TEST(NtxWriter, TreesOfTheUsualSizes) {
  testing::TempDir dir;
  for (int keySize : {4, 5, 10, 40}) {
    for (std::size_t count : {0, 1, 17, 18, 19, 1000, 100000}) {
      WriteAndCheck(dir, count, keySize, false);
      WriteAndCheck(dir, count, keySize, true);
    }
  }
}

TEST(NtxWriter, EveryCountAroundPageBoundaries) {
  // Two keys a page makes deep trees, where every level's last page has to
  // borrow at one count or another; 18 a page covers the common case.
  testing::TempDir dir;
  for (std::size_t count = 0; count <= 400; ++count) WriteAndCheck(dir, count, 256, false);
  for (std::size_t count = 300; count <= 800; ++count) WriteAndCheck(dir, count, 40, false);
}

TEST(NtxWriter, FullPagesAndDepth) {
  testing::TempDir dir;
  // 18 keys fill one leaf; the 19th makes a root over two leaves of 9.
  const KeySet keys = MakeKeys(19, 40, false);
  NtxDescription d;
  d.keySize = 40;
  WriteNtxFile(dir.File("a.ntx"), d, keys.bytes.data(), keys.recnos.data(), 18);
  NtxChecker one(ReadFile(dir.File("a.ntx")));
  one.Walk();
  EXPECT_EQ(one.LeafDepth(), 0);
  WriteNtxFile(dir.File("a.ntx"), d, keys.bytes.data(), keys.recnos.data(), 19);
  const std::string f = ReadFile(dir.File("a.ntx"));
  EXPECT_EQ(f.size(), 4 * 1024u);
  NtxChecker two(f);
  two.Walk();
  EXPECT_EQ(two.LeafDepth(), 1);
  EXPECT_EQ(U16(f, U32(f, 4)), 1u);
}

TEST(NtxWriter, ReplacesTheFileOrFailsLeavingItWhole) {
  testing::TempDir dir;
  const std::string path = dir.File("lpu.ntx");
  ASSERT_TRUE(platform::WriteWholeFile(path, "old index"));
  NtxDescription d;
  d.keySize = 4;
  const std::string keys = " 672";
  const std::uint32_t recno = 1;
  WriteNtxFile(path, d, keys.data(), &recno, 1);
  EXPECT_EQ(ReadFile(path).size(), 2048u);
  EXPECT_FALSE(platform::FileExists(path + ".tmp"));

  // A full disk: the error names the file, the old index stays.
  platform::FaultHooks hooks;
  hooks.writeFault = [](const std::string&, std::uint64_t, std::size_t) { return true; };
  platform::SetFaultHooks(hooks);
  try {
    WriteNtxFile(path, d, keys.data(), &recno, 1);
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find(testing::A(": нельзя записать: диск заполнен.")), std::string::npos)
        << e.what();
  }
  platform::SetFaultHooks({});
  EXPECT_EQ(ReadFile(path).size(), 2048u);
  EXPECT_FALSE(platform::FileExists(path + ".tmp"));

  EXPECT_THROW(WriteNtxFile(dir.File("missing/x.ntx"), d, keys.data(), &recno, 1), Error);
  d.keySize = 257;
  EXPECT_THROW(WriteNtxFile(dir.File("long.ntx"), d, nullptr, nullptr, 0), Error);
}

}  // namespace
}  // namespace velt
