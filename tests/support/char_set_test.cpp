#include "support/char_set.h"

#include <gtest/gtest.h>

#include "support/snils.h"
#include "support_files/temp_dir.h"

namespace velt {
namespace {

using testing::A;

// All members of a set, in code order.
std::string Members(const CharSet& set) {
  std::string out;
  for (int c = 0; c < 256; ++c)
    if (set.Contains(static_cast<unsigned char>(c))) out += static_cast<char>(c);
  return out;
}

const std::string& CyrillicAlphabet() {
  static const std::string letters = A("ЁёАБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯабвгдежзийклмнопрстуфхцчшщъыьэюя");
  return letters;
}

TEST(CharSets, HoldExactlyTheirMembers) {
  const std::string digits = "0123456789";
  const std::string upper = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  const std::string lower = "abcdefghijklmnopqrstuvwxyz";
  const std::string& cyr = CyrillicAlphabet();  // Ё 0xA8 and ё 0xB8 sort first

  EXPECT_EQ(Members(DigitChars), digits);
  EXPECT_EQ(Members(HouseSuffixChars), digits + A("АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ"));
  EXPECT_EQ(Members(StreetJunkChars), "+/=\\");
  EXPECT_EQ(Members(FieldJunkChars), "#=|");
  EXPECT_EQ(Members(MaskPlaceholderChars), "09RSZ" + A("Б"));
  EXPECT_EQ(Members(FreeFormMaskChars), "SZ");
  EXPECT_EQ(Members(MaskDigitMarkChars), "0RSZ");
  EXPECT_EQ(Members(MaskZeroChars), "0");
  EXPECT_EQ(Members(AlnumChars), digits + upper + lower + cyr);
  EXPECT_EQ(Members(SeriesChars), digits + "CDILMVX" + cyr);
  EXPECT_EQ(Members(CyrillicChars), cyr);
  EXPECT_EQ(Members(SpacedAlphaChars), " -" + upper + lower + cyr);
  EXPECT_EQ(Members(SpacedCyrillicChars), " -" + cyr);
  EXPECT_EQ(Members(SpacedLatinChars), " -" + upper + lower);
  EXPECT_EQ(Members(SpacedRomanChars), " -CDILMVX");
  EXPECT_EQ(Members(SpacedDigitChars), " -" + digits);
  EXPECT_EQ(Members(DocumentChars), " -" + digits + upper + lower + cyr);
  EXPECT_EQ(Members(BlankChars), " ");
}

TEST(FilterChars, KeepsOrDropsMembersInOrder) {
  EXPECT_EQ(FilterChars(A("12а-Б"), HouseSuffixChars, CharFilter::Keep), A("12Б"));
  EXPECT_EQ(FilterChars(A("УЛ=ЛЕНИНА/"), StreetJunkChars, CharFilter::Drop), A("УЛЛЕНИНА"));
  EXPECT_EQ(FilterChars("a#b=c|d", FieldJunkChars, CharFilter::Drop), "abcd");
  EXPECT_EQ(FilterChars("123-456 789", DigitChars, CharFilter::Keep), "123456789");
  EXPECT_EQ(FilterChars("", DigitChars, CharFilter::Keep), "");
  EXPECT_EQ(FilterChars("", DigitChars, CharFilter::Drop), "");
  EXPECT_EQ(FilterChars("abc", DigitChars, CharFilter::Keep), "");
}

TEST(CheckSnils, TestsTheCheckNumberOfEveryElevenDigitText) {
  EXPECT_TRUE(CheckSnils("123-456-789 64"));  // sum 165, 165 mod 101 = 64
  EXPECT_FALSE(CheckSnils("123-456-789 65"));
  EXPECT_TRUE(CheckSnils("12345678964"));
  EXPECT_TRUE(CheckSnils("480-000-000 00"));  // sum 100 counts as 0
  EXPECT_TRUE(CheckSnils("570-000-000 00"));  // sum 101 gives 0
  EXPECT_TRUE(CheckSnils("660-000-000 01"));  // sum 102 gives 1
  EXPECT_FALSE(CheckSnils("480-000-000 100"));
  EXPECT_TRUE(CheckSnils("00000000000"));
  EXPECT_TRUE(CheckSnils(A("СНИЛС 123 456 789 64")));
  EXPECT_FALSE(CheckSnils("1234567896"));    // 10 digits
  EXPECT_FALSE(CheckSnils("123456789640"));  // 12 digits
  EXPECT_FALSE(CheckSnils("000000000000"));
  EXPECT_FALSE(CheckSnils(""));
  EXPECT_FALSE(CheckSnils("abc"));
}

}  // namespace
}  // namespace velt
