// The text-keyed tables of the record loop: what goes in is found again,
// however much they grew meanwhile.
#include "support/text_map.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "support/text_counts.h"

namespace velt::testing {
namespace {

TEST(TextMapTest, KeepsEveryKeyAndItsValueWhileGrowing) {
  TextMap<int> map;
  const int& first = map.emplace("key0", 0).first->second;
  for (int i = 1; i < 5000; ++i) EXPECT_TRUE(map.emplace("key" + std::to_string(i), i).second);
  EXPECT_EQ(first, 0);  // still the value it was, after every growth
  EXPECT_FALSE(map.emplace("key7", 70).second);
  EXPECT_EQ(map.size(), 5000u);
  for (int i = 0; i < 5000; ++i) {
    const int* value = map.Lookup("key" + std::to_string(i));
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(*value, i);
    EXPECT_EQ(map.find("key" + std::to_string(i))->second, i);
  }
  EXPECT_EQ(map.Lookup("key5000"), nullptr);
  EXPECT_EQ(map.Lookup(""), nullptr);
  EXPECT_TRUE(map.find("key") == map.end());
  ++map["key1"];
  ++map["new"];
  EXPECT_EQ(*map.Lookup("key1"), 2);
  EXPECT_EQ(*map.Lookup("new"), 1);
  map.clear();
  EXPECT_TRUE(map.empty());
  EXPECT_EQ(map.Lookup("key1"), nullptr);
}

TEST(TextCountsTest, CountsEachTextAsAPlainMapWould) {
  TextCounts counts;
  std::map<std::string, std::int64_t> plain;
  for (int i = 0; i < 20000; ++i) {
    // Texts of every length up to 40, some of them again and again.
    const std::string text = std::string(static_cast<std::size_t>(i % 41), 'x') + std::to_string(i % 3001);
    counts.Add(text);
    ++plain[text];
  }
  counts.Add("");
  ++plain[""];
  std::map<std::string, std::int64_t> seen;
  counts.ForEach([&](std::string_view text, std::int64_t calls) { seen[std::string(text)] += calls; });
  EXPECT_EQ(seen, plain);
  for (const auto& [text, calls] : plain) ASSERT_EQ(counts.Count(text), calls) << text;
  EXPECT_EQ(counts.Count("never noted"), 0);
  counts.clear();
  EXPECT_TRUE(counts.empty());
  EXPECT_EQ(counts.Count(""), 0);
}

}  // namespace
}  // namespace velt::testing
