// The quick readings of field bytes against the plain ones they stand for.
#include "table/dbf_value.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace velt::testing {
namespace {

std::string RandomField(std::mt19937& random, const std::string& alphabet, std::size_t longest) {
  std::string field(random() % (longest + 1), ' ');
  for (char& c : field) c = alphabet[random() % alphabet.size()];
  return field;
}

TEST(DbfValueTest, TrimRightDropsTrailingBlanksAndNulsOnly) {
  std::mt19937 random(7);
  static const char kBytes[] = "  \0\0 a!\xA0\xE0 ";  // 0xA0 and 0xE0 have the 0x20 bit too
  const std::string alphabet(kBytes, sizeof kBytes - 1);
  for (int i = 0; i < 20000; ++i) {
    const std::string field = RandomField(random, alphabet, 70);
    std::size_t n = field.size();
    while (n > 0 && (field[n - 1] == ' ' || field[n - 1] == '\0')) --n;
    ASSERT_EQ(dbf::TrimRight(field), field.substr(0, n)) << i;
  }
}

TEST(DbfValueTest, PlainDigitsAreTheTextThatTheNumberReadsBackAs) {
  std::mt19937 random(11);
  static const char kBytes[] = "0123456789  \0+-.e";
  const std::string alphabet(kBytes, sizeof kBytes - 1);
  int plain = 0;
  for (int i = 0; i < 50000; ++i) {
    const std::string field = RandomField(random, alphabet, 18);
    const std::string_view digits = dbf::PlainDigits(field);
    if (digits.empty()) continue;
    ++plain;
    double value = 0;
    ASSERT_TRUE(dbf::ParseNumber(field, value)) << field;
    ASSERT_EQ(std::string(digits), dbf::NumberText(value)) << field;
  }
  EXPECT_GT(plain, 100);
  EXPECT_EQ(dbf::PlainDigits("  0402"), "");
  EXPECT_EQ(dbf::PlainDigits(" 1234567890123456"), "");  // sixteen digits
  EXPECT_EQ(dbf::PlainDigits("   0"), "0");
}

}  // namespace
}  // namespace velt::testing
