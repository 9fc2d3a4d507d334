#include "state/rtf_reader.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "support/code_page.h"

namespace velt {
namespace {

// Groups with these first words hold no text to show (tables, document
// information, pictures, headers and footers, field instructions).
constexpr std::array<std::string_view, 37> kSkippedDestinations = {
    "annotation", "author",     "colortbl",     "colorschememapping",
    "comment",    "datastore",  "doccomm",      "fldinst",
    "filetbl",    "fonttbl",    "footer",       "footerf",
    "footerl",    "footerr",    "footnote",     "generator",
    "header",     "headerf",    "headerl",      "headerr",
    "info",       "keywords",   "latentstyles", "listoverridetable",
    "listtable",  "nonshppict", "object",       "objdata",
    "operator",   "pict",       "revtbl",       "rsidtbl",
    "stylesheet", "subject",    "template",     "themedata",
    "title"};

constexpr int kDefaultHalfPoints = 24;
constexpr int kMaxWordLength = 32;
constexpr int kMaxParameterDigits = 10;

struct GroupState {
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool hidden = false;
  int halfPoints = kDefaultHalfPoints;
  RtfAlignment alignment = RtfAlignment::Left;
  int unicodeSkip = 1;   // fallback characters that follow each \uN
  bool skipped = false;  // inside a destination that is not shown

  void ResetCharacter() {
    bold = italic = underline = hidden = false;
    halfPoints = kDefaultHalfPoints;
  }
};

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void AppendUtf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

constexpr std::uint32_t kReplacement = 0xFFFD;

class Reader {
 public:
  explicit Reader(std::string_view data) : data_(data) {}

  std::optional<RtfDocument> Read() {
    if (!data_.starts_with("{\\rtf") || (data_.size() > 5 && IsLetter(data_[5]))) return std::nullopt;
    while (pos_ < data_.size()) {
      char c = data_[pos_++];
      switch (c) {
        case '{':
          if (static_cast<int>(stack_.size()) >= kRtfMaxDepth) return std::nullopt;
          stack_.push_back(state_);
          pendingSkip_ = 0;
          break;
        case '}':
          if (stack_.empty()) return std::nullopt;
          state_ = stack_.back();
          stack_.pop_back();
          pendingSkip_ = 0;
          // Whatever follows the outermost group is not part of the document.
          if (stack_.empty()) return Finish();
          break;
        case '\\':
          if (!ReadControl()) return std::nullopt;
          break;
        case '\r':
        case '\n':
          break;  // line ends of the file carry no meaning
        case '\t':
          if (!ConsumeFallback()) Text("\t");
          break;
        default:
          TextByte(static_cast<unsigned char>(c));
          break;
      }
    }
    return Finish();
  }

 private:
  RtfDocument Finish() {
    FlushSurrogate();
    if (!paragraph_.runs.empty()) EndParagraph();
    return std::move(document_);
  }

  // The text after a backslash: a control symbol or a control word with its
  // optional parameter and the blank that may end it.
  bool ReadControl() {
    if (pos_ >= data_.size()) return false;
    char c = data_[pos_];
    if (!IsLetter(c)) {
      ++pos_;
      return ControlSymbol(c);
    }
    std::size_t start = pos_;
    while (pos_ < data_.size() && IsLetter(data_[pos_])) ++pos_;
    if (pos_ - start > kMaxWordLength) return false;
    std::string_view word = data_.substr(start, pos_ - start);

    bool hasParameter = false;
    long long parameter = 0;
    bool negative = pos_ + 1 < data_.size() && data_[pos_] == '-' && IsDigit(data_[pos_ + 1]);
    if (negative) ++pos_;
    std::size_t digits = pos_;
    while (pos_ < data_.size() && IsDigit(data_[pos_])) {
      if (pos_ - digits >= kMaxParameterDigits) return false;
      parameter = parameter * 10 + (data_[pos_++] - '0');
      hasParameter = true;
    }
    if (negative) parameter = -parameter;
    if (parameter < INT32_MIN || parameter > INT32_MAX) return false;
    if (pos_ < data_.size() && data_[pos_] == ' ') ++pos_;
    return ControlWord(word, hasParameter, static_cast<int>(parameter));
  }

  bool ControlSymbol(char c) {
    if (c == '\'') {
      if (pos_ + 2 > data_.size()) return false;
      int high = HexValue(data_[pos_]), low = HexValue(data_[pos_ + 1]);
      if (high < 0 || low < 0) return false;
      pos_ += 2;
      TextByte(static_cast<unsigned char>(high * 16 + low));
      return true;
    }
    if (ConsumeFallback()) return true;
    switch (c) {
      case '\\':
      case '{':
      case '}':
        Text(std::string(1, c));
        break;
      case '~':
        CodePoint(0x00A0);  // non-breaking space
        break;
      case '_':
        CodePoint(0x2011);  // non-breaking hyphen
        break;
      case '*':
        state_.skipped = true;  // a destination this reader need not know
        break;
      case '\r':
      case '\n':
        ParagraphMark();
        break;
      default:
        break;  // optional hyphen, index marks and the like
    }
    return true;
  }

  bool ControlWord(std::string_view word, bool hasParameter, int parameter) {
    // Binary data is skipped by length, even inside the fallback of \uN.
    if (word == "bin") {
      if (!hasParameter || parameter < 0 || static_cast<std::size_t>(parameter) > data_.size() - pos_)
        return false;
      pos_ += static_cast<std::size_t>(parameter);
      return true;
    }
    if (ConsumeFallback()) return true;

    const bool on = !hasParameter || parameter != 0;
    if (word == "par") {
      ParagraphMark();
    } else if (word == "line") {
      Text("\n");
    } else if (word == "tab" || word == "cell") {
      Text("\t");
    } else if (word == "row") {
      ParagraphMark();
    } else if (word == "b") {
      state_.bold = on;
    } else if (word == "i") {
      state_.italic = on;
    } else if (word == "ul" || word == "uld" || word == "uldash" || word == "uldb" || word == "ulth" ||
               word == "ulw" || word == "ulwave") {
      state_.underline = on;
    } else if (word == "ulnone") {
      state_.underline = false;
    } else if (word == "v") {
      state_.hidden = on;
    } else if (word == "fs") {
      state_.halfPoints = hasParameter && parameter > 0 && parameter <= 3276 ? parameter : kDefaultHalfPoints;
    } else if (word == "plain") {
      state_.ResetCharacter();
    } else if (word == "pard") {
      state_.alignment = RtfAlignment::Left;
    } else if (word == "ql") {
      state_.alignment = RtfAlignment::Left;
    } else if (word == "qc") {
      state_.alignment = RtfAlignment::Center;
    } else if (word == "qr") {
      state_.alignment = RtfAlignment::Right;
    } else if (word == "qj" || word == "qd") {
      state_.alignment = RtfAlignment::Justify;
    } else if (word == "uc") {
      if (hasParameter && parameter >= 0) state_.unicodeSkip = std::min(parameter, 16);
    } else if (word == "u") {
      if (hasParameter) Unicode(parameter);
    } else if (word == "emdash") {
      CodePoint(0x2014);
    } else if (word == "endash") {
      CodePoint(0x2013);
    } else if (word == "bullet") {
      CodePoint(0x2022);
    } else if (word == "lquote") {
      CodePoint(0x2018);
    } else if (word == "rquote") {
      CodePoint(0x2019);
    } else if (word == "ldblquote") {
      CodePoint(0x201C);
    } else if (word == "rdblquote") {
      CodePoint(0x201D);
    } else if (std::find(kSkippedDestinations.begin(), kSkippedDestinations.end(), word) !=
               kSkippedDestinations.end()) {
      state_.skipped = true;
    }
    return true;
  }

  // \uN gives a UTF-16 unit (negative for those above 32767), followed by a
  // fallback for readers without Unicode that is skipped here.
  void Unicode(int parameter) {
    if (parameter < -32768 || parameter > 65535) return;
    auto unit = static_cast<std::uint32_t>(parameter < 0 ? parameter + 65536 : parameter);
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      FlushSurrogate();
      highSurrogate_ = unit;
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      if (highSurrogate_ != 0) {
        std::uint32_t cp = 0x10000 + ((highSurrogate_ - 0xD800) << 10) + (unit - 0xDC00);
        highSurrogate_ = 0;
        CodePoint(cp);
      } else {
        CodePoint(kReplacement);
      }
    } else {
      CodePoint(unit);
    }
    pendingSkip_ = state_.unicodeSkip;
  }

  // True when the next character, escape or control word belongs to the
  // fallback of a \uN and is dropped.
  bool ConsumeFallback() {
    if (pendingSkip_ == 0) return false;
    --pendingSkip_;
    return true;
  }

  void TextByte(unsigned char byte) {
    if (ConsumeFallback()) return;
    if (byte < 0x20) return;  // control characters of the file are not text
    if (byte < 0x80) {
      Text(std::string(1, static_cast<char>(byte)));
    } else {
      char ansi = static_cast<char>(byte);
      Text(AnsiToUtf8(std::string_view(&ansi, 1)));
    }
  }

  void CodePoint(std::uint32_t cp) {
    std::string utf8;
    AppendUtf8(utf8, cp);
    Text(utf8);
  }

  // A high surrogate not followed by its low half is shown as a
  // replacement character.
  void FlushSurrogate() {
    if (highSurrogate_ == 0) return;
    highSurrogate_ = 0;
    CodePoint(kReplacement);
  }

  void Text(const std::string& utf8) {
    if (state_.skipped || state_.hidden) return;
    if (highSurrogate_ != 0 && !utf8.empty()) {
      // Only a low surrogate may follow a high one; anything else orphans it.
      highSurrogate_ = 0;
      Text("\xEF\xBF\xBD");
    }
    RtfRun look;
    look.bold = state_.bold;
    look.italic = state_.italic;
    look.underline = state_.underline;
    look.pointSize = state_.halfPoints / 2.0;
    std::vector<RtfRun>& runs = paragraph_.runs;
    if (runs.empty() || !runs.back().SameLook(look)) runs.push_back(std::move(look));
    runs.back().text += utf8;
  }

  void ParagraphMark() {
    if (state_.skipped) return;
    FlushSurrogate();
    EndParagraph();
  }

  void EndParagraph() {
    paragraph_.alignment = state_.alignment;
    document_.paragraphs.push_back(std::move(paragraph_));
    paragraph_ = RtfParagraph();
  }

  std::string_view data_;
  std::size_t pos_ = 0;
  std::vector<GroupState> stack_;
  GroupState state_;
  RtfDocument document_;
  RtfParagraph paragraph_;
  int pendingSkip_ = 0;
  std::uint32_t highSurrogate_ = 0;
};

}  // namespace

std::string RtfDocument::PlainText() const {
  std::string text;
  for (std::size_t i = 0; i < paragraphs.size(); ++i) {
    if (i > 0) text += '\n';
    for (const RtfRun& run : paragraphs[i].runs) text += run.text;
  }
  return text;
}

std::optional<RtfDocument> ReadRtf(std::string_view data) { return Reader(data).Read(); }

}  // namespace velt
