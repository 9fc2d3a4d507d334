#include "conversion/identity_document.h"

#include <gtest/gtest.h>

#include "support/code_page.h"
#include "support_files/temp_dir.h"

namespace velt {
namespace {

using testing::A;

// Type, series and number joined by '/', in UTF-8 for readable failures.
std::string Split(const char* type, const char* numberUtf8) {
  const DocumentParts parts = SplitDocument(type, A(numberUtf8));
  return parts.type + "/" + AnsiToUtf8(parts.series) + "/" + AnsiToUtf8(parts.number);
}

const std::string kRejected = "//";

TEST(SplitDocument, RomanSeriesAcceptsNumeralsAndDigits) {
  EXPECT_EQ(Split("1 ", "IV-АБ 123456"), "1/IV-АБ/123456");
  EXPECT_EQ(Split("01", "4-АБ 123456"), "1/IV-АБ/123456");
  EXPECT_EQ(Split("1 ", "V-АБ 123456"), "1/V-АБ/123456");
  EXPECT_EQ(Split("1 ", "5-АБ 123456"), "1/V-АБ/123456");
  EXPECT_EQ(Split("3 ", "XII-аб123456"), "3/XII-аб/123456");
  // Not a canonical numeral: the series keeps its two letters alone.
  EXPECT_EQ(Split("1 ", "IIII-АБ 123456"), "1/АБ/123456");
  // Zero has no numeral either.
  EXPECT_EQ(Split("1 ", "0-АБ 123456"), "1/АБ/123456");
  // Latin letters in place of the Cyrillic pair, a short number, a Cyrillic
  // first character.
  EXPECT_EQ(Split("1 ", "IV-AB 123456"), kRejected);
  EXPECT_EQ(Split("1 ", "IV-АБ 12345"), kRejected);
  EXPECT_EQ(Split("1 ", "ЖАБ 123456"), kRejected);
}

TEST(SplitDocument, DigitSeriesSplitsAtFixedPlaces) {
  EXPECT_EQ(Split("8 ", "12 3456789"), "8/12/3456789");
  EXPECT_EQ(Split("15", "123456789"), "15/12/3456789");
  EXPECT_EQ(Split("8 ", "12 345678"), kRejected);
  EXPECT_EQ(Split("8 ", "12 34567890"), kRejected);
  // A hyphen between the parts is a separator, not part of the number.
  EXPECT_EQ(Split("8 ", "12-3456789"), "8/12/3456789");

  EXPECT_EQ(Split("14", "75 02 123456"), "14/75 02/123456");
  EXPECT_EQ(Split("14", "75 02 1234567"), "14/75 02/1234567");
  EXPECT_EQ(Split("14", "7502 123456"), "14/75 02/123456");
  EXPECT_EQ(Split("14", "75 02 12345"), kRejected);     // 9 digits
  EXPECT_EQ(Split("14", "75 02 12345678"), kRejected);  // 12 digits
  EXPECT_EQ(Split("14", "75 АБ 123456"), kRejected);
}

TEST(SplitDocument, CyrillicSeriesDemandsItsLength) {
  EXPECT_EQ(Split("4 ", "АБ 1234567"), "4/АБ/1234567");
  EXPECT_EQ(Split("4 ", "АБ 123456"), kRejected);
  EXPECT_EQ(Split("6 ", "ёж 123456"), "6/ёж/123456");
  EXPECT_EQ(Split("6 ", "AB 123456"), kRejected);
  // Trailing 0: one digit may be missing, not two.
  EXPECT_EQ(Split("7 ", "АБ 1234567"), "7/АБ/1234567");
  EXPECT_EQ(Split("7 ", "АБ 123456"), "7/АБ/123456");
  EXPECT_EQ(Split("16", "АБ 12345"), kRejected);
}

TEST(SplitDocument, FreeFormSeriesKeepsAllButTheLastCharacter) {
  EXPECT_EQ(Split("21", "AB 1234567"), "21/AB 123456/7");
  EXPECT_EQ(Split("21", "АБ 1234567"), "21/АБ 123456/7");
  EXPECT_EQ(Split("21", "1234567"), kRejected);     // must begin with a letter
  EXPECT_EQ(Split("21", "AB 123456X"), kRejected);  // must end with a digit
  EXPECT_EQ(Split("2 ", "Ю-ЛК 5"), "2/Ю-ЛК /5");
  EXPECT_EQ(Split("2 ", "9 5"), kRejected);
  EXPECT_EQ(Split("11", "A"), kRejected);
}

TEST(SplitDocument, RejectsUnknownTypesAndEmptyNumbers) {
  EXPECT_EQ(Split("19", "AB 1234567"), kRejected);
  EXPECT_EQ(Split("20", "AB 1234567"), kRejected);
  EXPECT_EQ(Split("25", "AB 1234567"), kRejected);
  EXPECT_EQ(Split("00", "AB 1234567"), kRejected);
  EXPECT_EQ(Split("-1", "AB 1234567"), kRejected);
  EXPECT_EQ(Split("XY", "AB 1234567"), kRejected);
  EXPECT_EQ(Split("5", "AB 1234567"), kRejected);  // one character is no type
  EXPECT_EQ(Split("", "AB 1234567"), kRejected);
  EXPECT_EQ(Split("21", ""), kRejected);
  EXPECT_EQ(Split("21", "#№!"), kRejected);  // nothing of a document is left
  // Blanks around the type; only its first two characters count.
  EXPECT_EQ(Split(" 5", "AB 1"), "5/AB /1");
  EXPECT_EQ(Split("140", "75 02 123456"), "14/75 02/123456");
}

TEST(MatchDocumentMask, ReadsOnlyTheCountingMaskCharacters) {
  EXPECT_TRUE(MatchDocumentMask(A("IVАБ123456"), A("R-ББ 999999")));
  EXPECT_TRUE(MatchDocumentMask("12 3456789", "99-9999999"));
  EXPECT_TRUE(MatchDocumentMask("123", "#9_9x9"));
  EXPECT_FALSE(MatchDocumentMask("1234", "#9_9x9"));
  // Only the leading part as long as the class letter's position is tested;
  // the characters between it and the compared tail are not.
  EXPECT_TRUE(MatchDocumentMask(A("A??Б1"), "Z 9"));
  EXPECT_TRUE(MatchDocumentMask(A("AЖ1"), "S 9"));
  EXPECT_FALSE(MatchDocumentMask("1A1", "S 9"));
  // A 0 may be missing, but nothing may exceed the mask.
  EXPECT_TRUE(MatchDocumentMask("1", "90"));
  EXPECT_TRUE(MatchDocumentMask("12", "90"));
  EXPECT_FALSE(MatchDocumentMask("123", "90"));
  EXPECT_FALSE(MatchDocumentMask("", "900"));
  EXPECT_FALSE(MatchDocumentMask("12", "9"));
}

}  // namespace
}  // namespace velt
