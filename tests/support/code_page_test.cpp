#include "support/code_page.h"

#include <gtest/gtest.h>

namespace velt {
namespace {

std::string Bytes(std::initializer_list<int> codes) {
  std::string out;
  for (int c : codes) out += static_cast<char>(c);
  return out;
}

std::string Range(int from, int to) {
  std::string out;
  for (int c = from; c <= to; ++c) out += static_cast<char>(c);
  return out;
}

TEST(OemAnsi, MapsCyrillicBetweenCodePages) {
  // 866: А..п 0x80-0xAF, р..я 0xE0-0xEF, Ё 0xF0, ё 0xF1, № 0xFC.
  // 1251: А..я 0xC0-0xFF, Ё 0xA8, ё 0xB8, № 0xB9.
  const std::string oem = Range(0x80, 0xAF) + Range(0xE0, 0xEF) + Bytes({0xF0, 0xF1, 0xFC});
  const std::string ansi = Range(0xC0, 0xFF) + Bytes({0xA8, 0xB8, 0xB9});
  EXPECT_EQ(OemToAnsi(oem), ansi);
  EXPECT_EQ(AnsiToOem(ansi), oem);

  const std::string ascii = Range(0x00, 0x7F);  // Latin, digits, punctuation
  EXPECT_EQ(OemToAnsi(ascii), ascii);
  EXPECT_EQ(AnsiToOem(ascii), ascii);

  std::string inPlace = oem;
  OemToAnsiInPlace(inPlace.data(), inPlace.size());
  EXPECT_EQ(inPlace, ansi);
  AnsiToOemInPlace(inPlace.data(), inPlace.size());
  EXPECT_EQ(inPlace, oem);
}

TEST(OemAnsi, MarksBytesWithoutCounterpartAndRoundTripsTheRest) {
  EXPECT_EQ(OemToAnsi(Bytes({0xB0, 0xC4, 0xDB, 0xFB})), "????");  // shading, lines, block, root
  EXPECT_EQ(AnsiToOem(Bytes({0x88, 0x98, 0xA9, 0x80})), "????");  // euro, unused, copyright, Ђ
  // Characters of both pages survive the trip there and back.
  EXPECT_EQ(OemToAnsi(Bytes({0xFF, 0xF8, 0xFA})), Bytes({0xA0, 0xB0, 0xB7}));  // no-break blank, °, ·
  int both = 0;
  for (int b = 0; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    const std::string oem = AnsiToOem(one);
    if (oem != "?") {
      EXPECT_EQ(OemToAnsi(oem), one) << b;
      ++both;
    }
    const std::string ansi = OemToAnsi(one);
    if (ansi != "?") {
      EXPECT_EQ(AnsiToOem(ansi), one) << b;
    }
  }
  EXPECT_GE(both, 128 + 66 + 1);  // ASCII, the Cyrillic alphabet and №, at least
}

// Long texts take a faster path for runs of letters: every byte at every
// place among letters and ASCII comes out as it does alone.
TEST(OemAnsi, LongTextsTranslateAsTheirBytesDo) {
  const std::string oemLetters = Range(0x80, 0x87) + " 12," + Range(0xA8, 0xAF) + "ab" + Range(0xE0, 0xEF);
  const std::string ansiLetters = Range(0xC0, 0xC7) + " 12," + Range(0xE8, 0xEF) + "ab" + Range(0xF0, 0xFF);
  for (auto [translate, letters] : {std::pair{&OemToAnsi, oemLetters}, std::pair{&AnsiToOem, ansiLetters}}) {
    const std::string filler = (letters + letters).substr(0, 40);  // two blocks of 16 and a word of 8
    for (int b = 0; b < 256; ++b) {
      for (std::size_t at = 0; at < filler.size(); ++at) {
        std::string text = filler;
        text[at] = static_cast<char>(b);
        std::string expected;
        for (char c : text) expected += translate(std::string(1, c));
        ASSERT_EQ(translate(text), expected) << "byte " << b << " at " << at;
      }
    }
  }
}

TEST(UpperCase, UppercasesLatinAndCyrillicOnly) {
  EXPECT_EQ(UpperCase(Range('a', 'z')), Range('A', 'Z'));
  EXPECT_EQ(UpperCase(Range(0xE0, 0xFF)), Range(0xC0, 0xDF));
  EXPECT_EQ(UpperCase(Bytes({0xB8})), Bytes({0xA8}));  // ё
  EXPECT_EQ(UpperCase(Bytes({0xB3, 0xBF, 0xBA, 0xA2, 0xB4})), Bytes({0xB2, 0xAF, 0xAA, 0xA1, 0xA5}));
  const std::string untouched =
      Range(0x00, 0x60) + Range('{', 0x7F) + Range(0xC0, 0xDF) + Bytes({0xA8, 0xB5, 0xB9});
  EXPECT_EQ(UpperCase(untouched), untouched);
  EXPECT_EQ(UpperChar('q'), 'Q');
  EXPECT_EQ(UpperChar('7'), '7');
}

TEST(Utf8, ConvertsToAndFrom1251) {
  EXPECT_EQ(Utf8ToAnsi("Ёж Ёлки №5"), Bytes({0xA8, 0xE6, ' ', 0xA8, 0xEB, 0xEA, 0xE8, ' ', 0xB9, '5'}));
  EXPECT_EQ(AnsiToUtf8(Bytes({0xC0, 0xFF, 0xB8, '!'})), "Аяё!");
  for (int b = 1; b < 256; ++b) {
    if (b == 0x98) continue;  // the one unused byte of 1251
    const std::string one(1, static_cast<char>(b));
    EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(one)), one) << b;
  }
  EXPECT_EQ(AnsiToUtf8(Bytes({0x98})), "?");
}

TEST(Utf8, MarksWhat1251CannotHold) {
  EXPECT_EQ(Utf8ToAnsi("ß漢"), "??");
  const std::string emoji = "\xF0\x9F\x98\x80";  // one character outside the basic plane
  EXPECT_EQ(Utf8ToAnsi("a" + emoji + "b"), "a?b");
  EXPECT_EQ(Utf8ToAnsi(std::string("a\xFF") + "b"), "a?b");  // not UTF-8
  EXPECT_EQ(Utf8ToAnsi("a\xD0"), "a?");                      // cut short
  EXPECT_EQ(Utf8ToAnsi("\xC2\x98"), "?");                    // a control code 1251 lacks
  EXPECT_EQ(Utf8ToAnsi("\xC0\x80"), "??");                   // overlong forms are no characters
  EXPECT_EQ(Utf8ToAnsi("\xE0\x81\x81"), "???");
  EXPECT_EQ(Utf8ToAnsi(""), "");
}

}  // namespace
}  // namespace velt
