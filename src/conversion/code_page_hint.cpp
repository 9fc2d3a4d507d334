#include "conversion/code_page_hint.h"

#include <algorithm>

#include "support/code_page.h"
#include "support/platform.h"
#include "table/dbf_file.h"

namespace velt {
namespace {

// dBase language driver marks of the two code pages a VELT archive comes in.
constexpr std::uint8_t kWindows1251 = 0xC9;
constexpr std::uint8_t kDos866 = 0x65;
constexpr std::uint8_t kDos866Russian = 0x26;

// Enough letters to judge by, and how far apart the two shares must be.
constexpr std::int64_t kFewestHighBytes = 64;
constexpr double kClearMargin = 0.3;
// The records whose text is measured: a few thousand calls tell.
constexpr std::uint32_t kSampledRecords = 2000;
// ... and never more bytes than this, whatever record length a header claims.
constexpr std::uint32_t kSampledBytes = 1 << 20;
// Read this much at a time.
constexpr std::uint32_t kPieceBytes = 32 << 10;

// Russian letters in 866: А-Я а-п (0x80-0xAF), р-я (0xE0-0xEF), Ё ё (0xF0, 0xF1).
bool OemLetter(unsigned char c) { return c <= 0xAF || (c >= 0xE0 && c <= 0xF1); }
// In 1251: А-я (0xC0-0xFF), Ё (0xA8), ё (0xB8).
bool AnsiLetter(unsigned char c) { return c >= 0xC0 || c == 0xA8 || c == 0xB8; }

std::string Percent(double share) { return std::to_string(static_cast<int>(share * 100 + 0.5)) + "%"; }

// Bytes above 127 and how many of them are letters in each code page.
struct Tally {
  std::int64_t high = 0, oem = 0, ansi = 0;

  void Add(std::string_view text) {
    for (char ch : text) {
      const auto c = static_cast<unsigned char>(ch);
      if (c < 0x80) continue;
      ++high;
      oem += OemLetter(c);
      ansi += AnsiLetter(c);
    }
  }

  CyrillicShares Shares() const {
    CyrillicShares shares;
    shares.highBytes = high;
    if (high > 0) {
      shares.oem = static_cast<double>(oem) / static_cast<double>(high);
      shares.ansi = static_cast<double>(ansi) / static_cast<double>(high);
    }
    return shares;
  }
};

}  // namespace

CyrillicShares MeasureTableText(const std::string& path, std::uint8_t& languageDriver) {
  platform::File file;
  if (file.Open(path, platform::File::Mode::Read, platform::File::Lock::None) != platform::OpenResult::Ok)
    return {};
  char prefix[dbf::kHeaderPrefix];
  if (file.ReadAt(0, prefix, sizeof prefix) != sizeof prefix) return {};
  const std::uint32_t headerLength = dbf::HeaderLengthOf(prefix);
  if (headerLength < dbf::kHeaderPrefix || headerLength > file.Size()) return {};
  std::string header(headerLength, '\0');
  dbf::Layout layout;
  if (file.ReadAt(0, header.data(), headerLength) != headerLength || !dbf::ParseHeader(header, layout))
    return {};
  languageDriver = layout.language;
  const std::uint32_t length = layout.recordLength;
  const std::uint32_t records = std::min({layout.recordCount, kSampledRecords, kSampledBytes / length});
  const std::uint32_t perPiece = std::max<std::uint32_t>(1, kPieceBytes / length);
  std::string piece(static_cast<std::size_t>(perPiece) * length, '\0');
  Tally tally;
  for (std::uint32_t done = 0; done < records;) {
    const std::uint32_t want = std::min(perPiece, records - done);
    const std::uint64_t at = layout.headerLength + std::uint64_t{done} * length;
    const std::size_t got = file.ReadAt(at, piece.data(), std::size_t{want} * length);
    const std::string_view view(piece.data(), got);
    for (std::size_t record = 0; record + length <= got; record += length) {
      for (const FieldInfo& field : layout.fields)
        if (field.type == 'C')
          tally.Add(view.substr(record + static_cast<std::size_t>(field.offset), field.width));
    }
    if (got < std::size_t{want} * length) break;  // a file cut short
    done += want;
  }
  return tally.Shares();
}

CyrillicShares MeasureCyrillic(std::string_view text) {
  Tally tally;
  tally.Add(text);
  return tally.Shares();
}

std::optional<std::string> ContentHint(const CyrillicShares& shares, const std::string& chosenCodePage,
                                       const std::string& whose) {
  if (shares.highBytes < kFewestHighBytes) return std::nullopt;
  const bool ansi = chosenCodePage == "ANSI";
  const double chosen = ansi ? shares.ansi : shares.oem;
  const double other = ansi ? shares.oem : shares.ansi;
  if (other - chosen < kClearMargin) return std::nullopt;
  const char* otherName = ansi ? "OEM (866)" : "ANSI (Windows-1251)";
  const char* chosenName = ansi ? "ANSI (Windows-1251)" : "OEM (866)";
  return VELT_ANSI("Текст ") + whose + VELT_ANSI(" похож на кодировку ") + otherName +
         VELT_ANSI(": в ней русскими буквами читаются ") + Percent(other) +
         VELT_ANSI(" знаков вне латиницы, в выбранной ") + chosenName + " - " + Percent(chosen);
}

std::optional<std::string> CodePageHint(std::uint8_t languageDriver, const std::string& chosenCodePage) {
  const bool ansi = chosenCodePage == "ANSI";
  if (languageDriver == kWindows1251 && !ansi) {
    return VELT_ANSI(
        "Заголовок архива указывает кодировку ANSI (Windows-1251), а выбрана OEM (866): "
        "проверьте кодировку в настройках");
  }
  if ((languageDriver == kDos866 || languageDriver == kDos866Russian) && ansi) {
    return VELT_ANSI(
        "Заголовок архива указывает кодировку OEM (866), а выбрана ANSI (Windows-1251): "
        "проверьте кодировку в настройках");
  }
  return std::nullopt;
}

std::optional<std::string> CodePageHintForFile(const std::string& archivePath,
                                               const std::string& chosenCodePage) {
  std::uint8_t languageDriver = 0;
  const CyrillicShares shares = MeasureTableText(archivePath, languageDriver);
  if (auto hint = CodePageHint(languageDriver, chosenCodePage)) return hint;
  if (auto hint = ContentHint(shares, chosenCodePage, VELT_ANSI("архива")))
    return *hint + VELT_ANSI(". Проверьте кодировку в настройках");
  return std::nullopt;
}

}  // namespace velt
