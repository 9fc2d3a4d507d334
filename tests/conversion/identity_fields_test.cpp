#include "conversion/identity_fields.h"

#include <gtest/gtest.h>

#include "support_files/temp_dir.h"

namespace velt {
namespace {

using testing::A;

// kind|series|number
std::string Split(const std::string& text, bool isNative) {
  const PolicyParts p = SplitPolicy(text, isNative);
  return std::to_string(p.kind) + "|" + p.series + "|" + p.number;
}

TEST(SplitPolicy, SixteenAndNineDigitsGoByTheDigitsAloneInBothRegions) {
  for (bool native : {true, false}) {
    EXPECT_EQ(Split("1234 5678 9012 3456", native), "3||1234567890123456");
    EXPECT_EQ(Split(A("ЕНП 7450-1234-5678-9012"), native), "3||7450123456789012");
    EXPECT_EQ(Split("123-456789", native), "2|123|456789");
    EXPECT_EQ(Split(A("ВС 123 456 789"), native), "2|123|456789");
    // 0, 4 (home region), 10, 15, 17 and 20 digits
    for (const char* text :
         {"", "   ", "1234567890", "123 456 789 012 345", "12345678901234567", "1234 5678 9012 3456 7890"}) {
      EXPECT_EQ(Split(text, native), "0||-1") << text;
    }
  }
}

TEST(SplitPolicy, ShortPolicyKeepsItsDigitsAtHomeAndIsSplitAtTheFirstBlankElsewhere) {
  EXPECT_EQ(Split("1234 567", true), "1||1234567");
  EXPECT_EQ(Split(A("АБ-12345678"), true), "1||12345678");
  EXPECT_EQ(Split("1234", true), "0||-1");
  EXPECT_EQ(Split(A("АБВ 12"), true), "0||-1");  // a blank helps only other regions

  EXPECT_EQ(Split("1234 567", false), "1|1234|567");
  EXPECT_EQ(Split(A("АБВ 12"), false), A("1|АБВ|12"));
  // The rest is trimmed and cut at its own first blank; letters and hyphens stay.
  EXPECT_EQ(Split(A("  ЯА-1   1234 78  "), false), A("1|ЯА-1|1234"));
  EXPECT_EQ(Split("12345678", false), "0||-1");  // no blank to split at
  EXPECT_EQ(Split(A("АБ ВГ"), false), "0||-1");  // no digits
}

}  // namespace
}  // namespace velt
