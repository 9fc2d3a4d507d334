#pragma once
// A warning before a run when the archive's header names a code page other
// than the one the user chose: the language byte that dBase writers put in
// the header (byte 29) is a good hint, though old VELT installations leave it
// at 0, and then nothing can be said.
#include <cstdint>
#include <optional>
#include <string>

namespace velt {

// The warning (1251) when the language byte contradicts the chosen code page
// ("OEM" or "ANSI"), nothing when it agrees or says nothing known.
std::optional<std::string> CodePageHint(std::uint8_t languageDriver, const std::string& chosenCodePage);

// The same for an archive file: its header is read without opening the
// table; a file that cannot be read gives no hint (the run will say why).
std::optional<std::string> CodePageHintForFile(const std::string& archivePath,
                                               const std::string& chosenCodePage);

}  // namespace velt
