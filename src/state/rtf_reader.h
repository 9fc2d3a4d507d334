#pragma once
// A small reader for the rich text of the instruction file "BottomMesg.txt".
// It keeps what such a file uses: paragraphs and their alignment, line
// breaks, tabs, bold, italic, underline and font size. Tables of fonts,
// colours and styles, document information, pictures and every other
// destination are skipped.
//
// Text comes out in UTF-8 (the window shows Unicode, and \uN characters may
// lie outside Windows-1251). Bytes of the file above 127, literal or written
// \'hh, are read as Windows-1251.
//
// Anything the reader cannot make sense of (no "{\rtf" at the start, a
// broken escape, groups nested deeper than kRtfMaxDepth) gives no document; the
// caller then shows the file as plain text. A file that ends before its
// groups are closed is read up to its end.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velt {

struct RtfRun {
  // UTF-8; "\t" for a tab, "\n" for a line break inside the paragraph.
  std::string text;
  bool bold = false;
  bool italic = false;
  bool underline = false;
  double pointSize = 12;

  bool SameLook(const RtfRun& other) const {
    return bold == other.bold && italic == other.italic && underline == other.underline &&
           pointSize == other.pointSize;
  }
};

enum class RtfAlignment { Left, Center, Right, Justify };

struct RtfParagraph {
  RtfAlignment alignment = RtfAlignment::Left;
  // Adjacent text of one look is one run; an empty paragraph has no runs.
  std::vector<RtfRun> runs;
};

struct RtfDocument {
  std::vector<RtfParagraph> paragraphs;
  // All text, paragraphs joined with "\n" (for tests and plain views).
  std::string PlainText() const;
};

inline constexpr int kRtfMaxDepth = 256;

// The document, or nothing when `data` is not rich text this reader can read.
std::optional<RtfDocument> ReadRtf(std::string_view data);

}  // namespace velt
