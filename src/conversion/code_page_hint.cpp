#include "conversion/code_page_hint.h"

#include "support/code_page.h"
#include "support/error.h"
#include "table/table.h"

namespace velt {
namespace {

// dBase language driver marks of the two code pages a VELT archive comes in.
constexpr std::uint8_t kWindows1251 = 0xC9;
constexpr std::uint8_t kDos866 = 0x65;
constexpr std::uint8_t kDos866Russian = 0x26;

}  // namespace

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
  try {
    Table archive;
    archive.SetTableName(archivePath);
    archive.SetExclusive(false);
    archive.Open();
    languageDriver = archive.LanguageDriver();
    archive.Close();
  } catch (const Error&) {
    return std::nullopt;
  }
  return CodePageHint(languageDriver, chosenCodePage);
}

}  // namespace velt
