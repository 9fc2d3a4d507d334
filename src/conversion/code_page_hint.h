#pragma once
// A warning before a run when the archive's header names a code page other
// than the one the user chose: the language byte that dBase writers put in
// the header (byte 29) is a good hint, though old VELT installations leave it
// at 0, and then nothing can be said.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velt {

// The warning (1251) when the language byte contradicts the chosen code page
// ("OEM" or "ANSI"), nothing when it agrees or says nothing known.
std::optional<std::string> CodePageHint(std::uint8_t languageDriver, const std::string& chosenCodePage);

// Shares (0..1) of the bytes above 127 in a text that read as Russian
// letters in code page 866 and in Windows-1251.
struct CyrillicShares {
  std::int64_t highBytes = 0;
  double oem = 0;
  double ansi = 0;
};
CyrillicShares MeasureCyrillic(std::string_view text);

// The warning when the text looks written in the code page other than the
// chosen one: enough letters, and clearly more of them make sense there.
// `whose` names the text in the genitive ("архива", "таблицы tr_rslt");
// the caller adds the remedy.
std::optional<std::string> ContentHint(const CyrillicShares& shares, const std::string& chosenCodePage,
                                       const std::string& whose);

// The text fields of a table file's first records, read raw a small piece
// at a time (one buffer of 32 KiB, whatever the sample's size), and the
// header's language byte; nothing when the file is no table.
CyrillicShares MeasureTableText(const std::string& path, std::uint8_t& languageDriver);

// The same for an archive file: the header's mark, else the text fields of
// its first records, read as raw bytes; a file that cannot be read gives no
// hint (the run will say why).
std::optional<std::string> CodePageHintForFile(const std::string& archivePath,
                                               const std::string& chosenCodePage);

}  // namespace velt
