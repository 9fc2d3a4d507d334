// The persisted-state file over any bytes: read it, write one value, read
// the file again. The written value must come back as written (line breaks
// read as blanks, at most the longest value), and a key of another section
// must keep its value.
#include <string>

#include "fuzz_support.h"
#include "state/ini_file.h"
#include "support/error.h"

namespace {

// What a read gives back for a written value.
std::string Expected(std::string value) {
  for (char& c : value)
    if (c == '\r' || c == '\n') c = ' ';
  if (value.size() > velt::IniFile::kMaxValueLength) value.resize(velt::IniFile::kMaxValueLength);
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = velt::fuzz::ScratchDir() + "veltconv.ini";
  std::string_view input = velt::fuzz::Bytes(data, size);
  // The file is the input up to its last NUL; the value written is what
  // follows it (or the file's last 40 bytes when there is no NUL).
  std::size_t cut = input.rfind('\0');
  std::string_view file = cut == std::string_view::npos ? input : input.substr(0, cut);
  std::string value(cut == std::string_view::npos
                        ? input.substr(input.size() - std::min<std::size_t>(40, input.size()))
                        : input.substr(cut + 1));
  velt::fuzz::WriteFile(path, file);

  velt::IniFile before(path);
  const std::string kept = before.ReadString("Other", "Kept", "<absent>");
  (void)before.ReadInteger("VELT_CONV", "Top", -1);
  (void)before.SectionExists("VELT_CONV");
  try {
    before.WriteString("VELT_CONV", "veltfile", value);
  } catch (const velt::Error&) {
    velt::fuzz::Fail("a write to a writable file failed");
  }

  velt::IniFile after(path);
  if (after.ReadString("VELT_CONV", "veltfile", "<absent>") != Expected(value))
    velt::fuzz::Fail("the written value reads back changed");
  if (after.ReadString("Other", "Kept", "<absent>") != kept)
    velt::fuzz::Fail("a key of another section changed");

  after.EraseSection("VELT_CONV");
  velt::IniFile erased(path);
  if (erased.SectionExists("VELT_CONV")) velt::fuzz::Fail("an erased section is still there");
  if (erased.ReadString("Other", "Kept", "<absent>") != kept)
    velt::fuzz::Fail("erasing a section changed another");
  return 0;
}
