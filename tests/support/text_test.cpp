#include "support/text.h"

#include <gtest/gtest.h>

#include "support_files/temp_dir.h"

namespace velt {
namespace {

using testing::A;

TEST(TextToInteger, AcceptsDecimalWithBlanksAndSign) {
  EXPECT_EQ(StrToIntDef("12", -1), 12);
  EXPECT_EQ(StrToIntDef(" -7", 0), -7);
  EXPECT_EQ(StrToIntDef("   +42", 0), 42);
  EXPECT_EQ(StrToIntDef("007", 0), 7);
  EXPECT_EQ(StrToIntDef("2147483647", 0), 2147483647);
  EXPECT_EQ(StrToIntDef("-2147483648", 0), -2147483647 - 1);
}

TEST(TextToInteger, AcceptsEveryHexadecimalPrefix) {
  EXPECT_EQ(StrToIntDef("$1F", 0), 31);
  EXPECT_EQ(StrToIntDef("x1F", 0), 31);
  EXPECT_EQ(StrToIntDef("X1f", 0), 31);
  EXPECT_EQ(StrToIntDef("0x1F", 0), 31);
  EXPECT_EQ(StrToIntDef("0X1F", 0), 31);
  EXPECT_EQ(StrToIntDef("-$10", 0), -16);
  EXPECT_EQ(StrToIntDef("$7FFFFFFF", 0), 2147483647);
  // Letters are hexadecimal digits only after a prefix.
  EXPECT_FALSE(IsInteger("1F"));
  EXPECT_FALSE(IsInteger("$"));
  EXPECT_FALSE(IsInteger("0x"));
  EXPECT_FALSE(IsInteger("$1G"));
  EXPECT_FALSE(IsInteger("$80000000"));
}

TEST(TextToInteger, RejectsTrailingTextOverflowAndEmpty) {
  EXPECT_FALSE(IsInteger(""));
  EXPECT_FALSE(IsInteger("   "));
  EXPECT_FALSE(IsInteger("-"));
  EXPECT_FALSE(IsInteger(A("12А")));
  EXPECT_FALSE(IsInteger("12 "));
  EXPECT_FALSE(IsInteger("1 2"));
  EXPECT_FALSE(IsInteger("1.0"));
  EXPECT_FALSE(IsInteger("--1"));
  EXPECT_FALSE(IsInteger("2147483648"));
  EXPECT_FALSE(IsInteger("-2147483649"));
  EXPECT_FALSE(IsInteger("99999999999"));
  EXPECT_FALSE(IsInteger("\t5"));  // only blanks are skipped
  EXPECT_EQ(StrToIntDef("abc", 9), 9);

  int value = 123;
  EXPECT_FALSE(TryStrToInt("x", value));
  EXPECT_EQ(value, 123);  // left alone on failure
}

TEST(PadLeft, RightJustifiesOrKeepsTheLastCharacters) {
  EXPECT_EQ(PadLeft("12", 4, ' '), "  12");
  EXPECT_EQ(PadLeft("12345", 4, ' '), "2345");
  EXPECT_EQ(PadLeft("1234", 4, ' '), "1234");
  EXPECT_EQ(PadLeft("7", 2, '0'), "07");
  EXPECT_EQ(PadLeft("", 3, '0'), "000");
  EXPECT_EQ(PadLeft("12", 0, ' '), "");
  EXPECT_EQ(PadLeft("12", -2, ' '), "");
}

TEST(Trim, RemovesControlCharactersButKeepsCyrillic) {
  EXPECT_EQ(Trim(" \t\r\n ab c\x01 "), "ab c");
  EXPECT_EQ(Trim("    "), "");
  // Bytes above 0x7F are negative as char but are letters, not blanks.
  const std::string word = A(" Ёж я ");
  EXPECT_EQ(Trim(word), A("Ёж я"));
}

TEST(FindNthOccurrence, CountsNonOverlappingMatches) {
  EXPECT_EQ(FindNthOccurrence("aa", "aaaa", 1), 1);
  EXPECT_EQ(FindNthOccurrence("aa", "aaaa", 2), 3);
  EXPECT_EQ(FindNthOccurrence("aa", "aaa", 2), 0);
  EXPECT_EQ(FindNthOccurrence("|", "a|b", 1), 2);
  EXPECT_EQ(FindNthOccurrence("|", "a|b", 2), 0);
  EXPECT_EQ(FindNthOccurrence("Ab", "ab", 1), 0);  // case-sensitive
  EXPECT_EQ(FindNthOccurrence("abc", "ab", 1), 0);
  EXPECT_EQ(FindNthOccurrence("", "ab", 1), 0);
  EXPECT_EQ(FindNthOccurrence("a", "ab", 0), 0);
}

TEST(ExtractToken, GivesTheNthFieldBetweenDelimiters) {
  EXPECT_EQ(ExtractToken("A|B|C", 0, "|"), "A");
  EXPECT_EQ(ExtractToken("A|B|C", 1, "|"), "B");
  EXPECT_EQ(ExtractToken("A|B|C", 2, "|"), "C");
  EXPECT_EQ(ExtractToken("A|B", 2, "|"), "");
  EXPECT_EQ(ExtractToken("A||C", 1, "|"), "");
  EXPECT_EQ(ExtractToken("A||C", 2, "|"), "C");
  EXPECT_EQ(ExtractToken("ABC", 0, "|"), "ABC");
  EXPECT_EQ(ExtractToken("", 0, "|"), "");
  EXPECT_EQ(ExtractToken("|5", 0, "|"), "");
  EXPECT_EQ(ExtractToken("|5", 1, "|"), "5");
  EXPECT_EQ(ExtractToken("12 - Травма", 0, " - "), "12");
  EXPECT_EQ(ExtractToken("a--b--c", 1, "--"), "b");
}

TEST(RomanNumerals, WriteAndReadCanonicalForms) {
  EXPECT_EQ(IntToRoman(1994), "MCMXCIV");
  EXPECT_EQ(IntToRoman(4), "IV");
  EXPECT_EQ(IntToRoman(3999), "MMMCMXCIX");
  EXPECT_EQ(IntToRoman(4000), "MMMM");
  EXPECT_EQ(IntToRoman(0), "");
  EXPECT_EQ(IntToRoman(-3), "");

  for (int value = 1; value <= 4000; ++value) ASSERT_EQ(RomanToInt(IntToRoman(value)), value) << value;

  EXPECT_EQ(RomanToInt("XIV"), 14);
  EXPECT_EQ(RomanToInt("MMMM"), 4000);
  EXPECT_EQ(RomanToInt("XIIII"), 0);
  EXPECT_EQ(RomanToInt("IIII"), 0);
  EXPECT_EQ(RomanToInt("IL"), 0);
  EXPECT_EQ(RomanToInt("VX"), 0);
  EXPECT_EQ(RomanToInt("xiv"), 0);
  EXPECT_EQ(RomanToInt("X V"), 0);
  EXPECT_EQ(RomanToInt(""), 0);
  EXPECT_EQ(RomanToInt("IVX"), 0);

  EXPECT_TRUE(IsRomanNumber("IV"));
  EXPECT_FALSE(IsRomanNumber("12"));
  EXPECT_FALSE(IsRomanNumber(A("ІV")));  // Cyrillic І
}

TEST(Copy, GivesWhateverOfTheRangeExists) {
  EXPECT_EQ(Copy("abcdef", 1, 2), "ab");
  EXPECT_EQ(Copy("abcdef", 3, 2), "cd");
  EXPECT_EQ(Copy("abcdef", 5, 10), "ef");
  EXPECT_EQ(Copy("abcdef", 7, 1), "");
  EXPECT_EQ(Copy("abcdef", 2, 0), "");
  EXPECT_EQ(Copy("abcdef", 0, 2), "ab");
}

}  // namespace
}  // namespace velt
