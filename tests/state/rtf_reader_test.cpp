#include "state/rtf_reader.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace velt {
namespace {

std::string Plain(std::string_view rtf) {
  auto document = ReadRtf(rtf);
  return document ? document->PlainText() : "<not rtf>";
}

// What a word processor writes for a short Russian instruction.
const char kInstruction[] =
    "{\\rtf1\\ansi\\ansicpg1251\\deff0\\nouicompat\\deflang1049"
    "{\\fonttbl{\\f0\\fnil\\fcharset204 Calibri;}{\\f1\\fswiss\\fcharset0 Arial;}}\r\n"
    "{\\colortbl ;\\red255\\green0\\blue0;}\r\n"
    "{\\*\\generator Riched20 10.0.19041}\\viewkind4\\uc1 \r\n"
    "\\pard\\sa200\\sl276\\slmult1\\qc\\b\\f0\\fs28\\lang1049 "
    "\\'c8\\'ed\\'f1\\'f2\\'f0\\'f3\\'ea\\'f6\\'e8\\'ff\\b0\\par\r\n"
    "\\pard\\sa200\\sl276\\slmult1\\fs22 1. \\'c7\\'e0\\'e3\\'f0\\'f3\\'e7\\'e8\\'f2\\'e5 \\i t\\i0 -"
    "\\'f4\\'e0\\'e9\\'eb\\'fb.\\par\r\n"
    "}\r\n";

TEST(RtfReaderTest, ReadsAWordProcessorFile) {
  auto document = ReadRtf(kInstruction);
  ASSERT_TRUE(document.has_value());
  ASSERT_EQ(document->paragraphs.size(), 2u);
  const RtfParagraph& heading = document->paragraphs[0];
  EXPECT_EQ(heading.alignment, RtfAlignment::Center);
  ASSERT_EQ(heading.runs.size(), 1u);
  EXPECT_EQ(heading.runs[0].text, "Инструкция");
  EXPECT_TRUE(heading.runs[0].bold);
  EXPECT_EQ(heading.runs[0].pointSize, 14);

  const RtfParagraph& body = document->paragraphs[1];
  EXPECT_EQ(body.alignment, RtfAlignment::Left);  // \pard resets it
  ASSERT_EQ(body.runs.size(), 3u);
  EXPECT_EQ(body.runs[0].text, "1. Загрузите ");
  EXPECT_FALSE(body.runs[0].bold);
  EXPECT_EQ(body.runs[0].pointSize, 11);
  EXPECT_EQ(body.runs[1].text, "t");
  EXPECT_TRUE(body.runs[1].italic);
  EXPECT_EQ(body.runs[2].text, "-файлы.");
}

TEST(RtfReaderTest, CharacterFormattingFollowsGroups) {
  auto document =
      ReadRtf("{\\rtf1 a{\\b b\\i c}d\\ul e\\ul0 f\\ulnone\\b g\\b0 h\\b\\i\\ul\\fs40 i\\plain j}");
  ASSERT_TRUE(document.has_value());
  ASSERT_EQ(document->paragraphs.size(), 1u);
  const auto& runs = document->paragraphs[0].runs;
  ASSERT_EQ(runs.size(), 10u);
  EXPECT_EQ(runs[0].text, "a");
  EXPECT_EQ(runs[1].text, "b");
  EXPECT_TRUE(runs[1].bold && !runs[1].italic);
  EXPECT_EQ(runs[2].text, "c");
  EXPECT_TRUE(runs[2].bold && runs[2].italic);
  EXPECT_EQ(runs[3].text, "d");  // the group's end undoes its formatting
  EXPECT_FALSE(runs[3].bold || runs[3].italic);
  EXPECT_TRUE(runs[4].underline);
  EXPECT_FALSE(runs[5].underline);
  EXPECT_TRUE(runs[6].bold);
  EXPECT_FALSE(runs[7].bold);
  EXPECT_TRUE(runs[8].bold && runs[8].italic && runs[8].underline);
  EXPECT_EQ(runs[8].pointSize, 20);
  EXPECT_FALSE(runs[9].bold || runs[9].italic || runs[9].underline);  // \plain
  EXPECT_EQ(runs[9].pointSize, 12);
}

TEST(RtfReaderTest, BreaksEscapesAndSpecialCharacters) {
  EXPECT_EQ(Plain("{\\rtf1 one\\par two\\line three\\tab four\\par\\par five}"),
            "one\ntwo\nthree\tfour\n\nfive");
  EXPECT_EQ(Plain("{\\rtf1 \\\\ \\{x\\} a\\~b\\emdash\\ldblquote q\\rdblquote}"),
            "\\ {x} a\u00A0b\u2014\u201Cq\u201D");
  // Line ends of the file are no text, the blank after a control word ends it.
  EXPECT_EQ(Plain("{\\rtf1\r\nab\r\ncd\\b  e}"), "abcd e");
  EXPECT_EQ(Plain("{\\rtf1 \\'c0\\'DF\\'b8 \\'41}"), "АЯё A");
  EXPECT_EQ(Plain("{\\rtf1 x\\par}"), "x");  // a final \par makes no empty paragraph
  EXPECT_EQ(Plain("{\\rtf1 }"), "");
}

TEST(RtfReaderTest, UnicodeWithFallbackSkip) {
  EXPECT_EQ(Plain("{\\rtf1 \\u1055?\\u1088?}"), "Пр");
  EXPECT_EQ(Plain("{\\rtf1\\uc2 \\u1055\\'cf\\'cfx}"), "Пx");
  EXPECT_EQ(Plain("{\\rtf1\\uc0 \\u1055 x}"), "Пx");
  EXPECT_EQ(Plain("{\\rtf1 \\u-4064 ?}"), "\uF020");               // negative: 65536 - 4064
  EXPECT_EQ(Plain("{\\rtf1 \\u-10179?\\u-8704?}"), "\U0001F600");  // a surrogate pair
  EXPECT_EQ(Plain("{\\rtf1 \\u-10179?x}"), "\uFFFDx");             // a lone high half
  // The skip count is scoped to its group; the fallback ends at a group's end.
  EXPECT_EQ(Plain("{\\rtf1 {\\uc3 \\u1055}ab}"), "Пab");
  EXPECT_EQ(Plain("{\\rtf1 {\\uc2 a}\\u1055?b}"), "aПb");
}

TEST(RtfReaderTest, SkipsDestinations) {
  EXPECT_EQ(Plain("{\\rtf1{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red0;}{\\stylesheet{\\s0 Normal;}}"
                  "{\\info{\\title T}{\\author A}}{\\*\\unknown {nested} text}a"
                  "{\\pict\\wmetafile8 0102ff}{\\*\\shppict{\\pict\\bin4 {}}\\}}b{\\header h}c}"),
            "abc");
  EXPECT_EQ(Plain("{\\rtf1 {\\field{\\*\\fldinst HYPERLINK x}{\\fldrslt shown}}}"), "shown");
  EXPECT_EQ(Plain("{\\rtf1 a\\v hidden\\v0 b}"), "ab");
}

TEST(RtfReaderTest, RejectsWhatItCannotRead) {
  EXPECT_FALSE(ReadRtf("").has_value());
  EXPECT_FALSE(ReadRtf("Plain instructions").has_value());
  EXPECT_FALSE(ReadRtf(" {\\rtf1 x}").has_value());
  EXPECT_FALSE(ReadRtf("{\\rtfx x}").has_value());
  EXPECT_FALSE(ReadRtf("{\\rtf1 \\'zz}").has_value());
  EXPECT_FALSE(ReadRtf("{\\rtf1 \\'c").has_value());
  EXPECT_FALSE(ReadRtf("{\\rtf1 x\\").has_value());
  EXPECT_FALSE(ReadRtf("{\\rtf1 \\bin99 ab}").has_value());
  EXPECT_FALSE(ReadRtf("{\\rtf1 \\fs99999999999 x}").has_value());
  EXPECT_FALSE(ReadRtf("{\\rtf1 \\" + std::string(40, 'a') + " x}").has_value());

  std::string deep = "{\\rtf1 ";
  for (int i = 1; i < kRtfMaxDepth; ++i) deep += "{";
  EXPECT_TRUE(ReadRtf(deep + "x").has_value());
  EXPECT_FALSE(ReadRtf(deep + "{x").has_value());
}

TEST(RtfReaderTest, ToleratesTruncationAndTrailingBytes) {
  EXPECT_EQ(Plain("{\\rtf1 {\\b cut off"), "cut off");
  EXPECT_EQ(Plain("{\\rtf1 body}\r\n\0garbage}}}"), "body");
  // Every prefix and random damage of a real file: a document or none,
  // never a crash or a read past the end (checked under sanitizers).
  std::string text = kInstruction;
  for (std::size_t n = 0; n <= text.size(); ++n) ReadRtf(std::string_view(text).substr(0, n));
  std::mt19937 random(42);
  for (int round = 0; round < 2000; ++round) {
    std::string damaged = text;
    for (int k = 0; k < 4; ++k) damaged[5 + random() % (damaged.size() - 5)] = static_cast<char>(random());
    ReadRtf(damaged);
  }
}

}  // namespace
}  // namespace velt
