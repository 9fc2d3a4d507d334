// The instruction file's rich-text reader over any bytes: a document or
// nothing, never a crash; a document's text is valid UTF-8 (the window
// hands it to Qt as such) and its font sizes are positive.
#include "fuzz_support.h"
#include "state/rtf_reader.h"

namespace {

// Well-formed UTF-8: no stray continuation bytes, no overlong forms, no
// surrogates, nothing above U+10FFFF.
bool ValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    int length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > text.size()) return false;
    char32_t code = length == 1 ? c : c & (0x7F >> length);
    for (int k = 1; k < length; ++k) {
      const unsigned char next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::optional<velt::RtfDocument> document = velt::ReadRtf(velt::fuzz::Bytes(data, size));
  if (!document) return 0;
  for (const velt::RtfParagraph& paragraph : document->paragraphs) {
    for (const velt::RtfRun& run : paragraph.runs) {
      if (!ValidUtf8(run.text)) velt::fuzz::Fail("a run that is not UTF-8");
      if (!(run.pointSize > 0)) velt::fuzz::Fail("a font size that is not positive");
    }
  }
  (void)document->PlainText();
  return 0;
}
