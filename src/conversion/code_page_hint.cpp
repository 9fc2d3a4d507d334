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

// Russian letters in 866: А-Я а-п (0x80-0xAF), р-я (0xE0-0xEF), Ё ё (0xF0, 0xF1).
bool OemLetter(unsigned char c) { return c <= 0xAF || (c >= 0xE0 && c <= 0xF1); }
// In 1251: А-я (0xC0-0xFF), Ё (0xA8), ё (0xB8).
bool AnsiLetter(unsigned char c) { return c >= 0xC0 || c == 0xA8 || c == 0xB8; }

std::string Percent(double share) { return std::to_string(static_cast<int>(share * 100 + 0.5)) + "%"; }

// The text fields of the first records, raw; empty when the file is none.
std::string SampleText(const std::string& archivePath, std::uint8_t& languageDriver) {
  platform::File file;
  if (file.Open(archivePath, platform::File::Mode::Read, platform::File::Lock::None) !=
      platform::OpenResult::Ok)
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
  const std::uint32_t records =
      std::min({layout.recordCount, kSampledRecords, kSampledBytes / std::uint32_t{layout.recordLength}});
  std::string bytes(static_cast<std::size_t>(records) * layout.recordLength, '\0');
  bytes.resize(file.ReadAt(layout.headerLength, bytes.data(), bytes.size()));
  std::string text;
  for (std::size_t at = 0; at + layout.recordLength <= bytes.size(); at += layout.recordLength) {
    for (const FieldInfo& field : layout.fields)
      if (field.type == 'C') text.append(bytes, at + static_cast<std::size_t>(field.offset), field.width);
  }
  return text;
}

}  // namespace

CyrillicShares MeasureCyrillic(std::string_view text) {
  CyrillicShares shares;
  std::int64_t oem = 0, ansi = 0;
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) continue;
    ++shares.highBytes;
    oem += OemLetter(c);
    ansi += AnsiLetter(c);
  }
  if (shares.highBytes > 0) {
    shares.oem = static_cast<double>(oem) / static_cast<double>(shares.highBytes);
    shares.ansi = static_cast<double>(ansi) / static_cast<double>(shares.highBytes);
  }
  return shares;
}

std::optional<std::string> ContentHint(const CyrillicShares& shares, const std::string& chosenCodePage) {
  if (shares.highBytes < kFewestHighBytes) return std::nullopt;
  const bool ansi = chosenCodePage == "ANSI";
  const double chosen = ansi ? shares.ansi : shares.oem;
  const double other = ansi ? shares.oem : shares.ansi;
  if (other - chosen < kClearMargin) return std::nullopt;
  const char* otherName = ansi ? "OEM (866)" : "ANSI (Windows-1251)";
  const char* chosenName = ansi ? "ANSI (Windows-1251)" : "OEM (866)";
  return VELT_ANSI("Текст архива похож на кодировку ") + otherName +
         VELT_ANSI(": в ней русскими буквами читаются ") + Percent(other) +
         VELT_ANSI(" знаков вне латиницы, в выбранной ") + chosenName + " - " + Percent(chosen) +
         VELT_ANSI(". Проверьте кодировку в настройках");
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
  const std::string text = SampleText(archivePath, languageDriver);
  if (auto hint = CodePageHint(languageDriver, chosenCodePage)) return hint;
  return ContentHint(MeasureCyrillic(text), chosenCodePage);
}

}  // namespace velt
