#pragma once
// The persisted-state file: an ini file in Windows-1251 with CR LF line ends,
// read and written the way the Windows profile functions do it, so that the
// files of existing installations keep working in both directions.
// (SimpleIni keeps neither the profile functions' quote and 2047-character
// rules nor 1251 case-insensitive names, hence this reader of our own.)
//
// - Section and key names match ignoring letter case (1251 letters
//   included); the first section or key of a name wins.
// - A value is what follows the first "=" of its line, blanks around it
//   removed; one enclosing pair of quotes ("..." or '...') is removed on
//   read, and at most 2047 characters come back.
// - A written value that would lose something on read (one that begins and
//   ends with the same quote, or has blanks at either end) is enclosed in
//   one more pair of double quotes. Line breaks inside a value become blanks,
//   since they would split the line.
// - Every other line (comments, blank lines, other sections and keys) is
//   kept as it was and in its place.
// - Each write replaces the file at once: the new content goes to a
//   temporary file that is then renamed over the old one. A write that fails
//   raises velt::Error("Не удалось сохранить настройки в файл <path>" with
//   the cause on a second line) and leaves the file as
//   it was.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velt {

class IniFile {
 public:
  // The longest value a read gives back.
  static constexpr std::size_t kMaxValueLength = 2047;
  // A settings file larger than this is no settings file of ours.
  static constexpr std::uint64_t kMaxFileSize = 1 << 20;

  // Reads the file now. A missing file reads as empty; a file that exists
  // but cannot be read reads as empty and refuses every write, so that it is
  // never overwritten by a partial view of it. So does a file larger than
  // kMaxFileSize or a path that names no regular file (a pipe, a device),
  // which is not even opened for reading; Warning() then tells why.
  explicit IniFile(std::string path);

  const std::string& Path() const { return path_; }
  // Why the file was ignored, naming it (1251); empty when it was read or
  // is missing.
  const std::string& Warning() const { return warning_; }

  // `fallback` when the section or the key is absent; an empty value is a
  // value.
  std::string ReadString(std::string_view section, std::string_view key, std::string_view fallback) const;
  // The value read with the program's text-to-integer rule; `fallback` when
  // absent or not a number.
  int ReadInteger(std::string_view section, std::string_view key, int fallback) const;
  bool SectionExists(std::string_view section) const;

  // Sets the key (adding it at the end of its section, or the section at the
  // end of the file) and writes the file.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int value);
  // Removes every section of that name with all its lines and writes the
  // file (also when there was nothing to remove, as the platform does).
  void EraseSection(std::string_view section);

 private:
  struct Line {
    enum class Kind { Other, Section, Key };
    std::string text;  // as on disk, without its line end
    Kind kind = Kind::Other;
    std::string name;  // section or key name, blanks removed
  };

  static Line ParseLine(std::string text);
  // Index of the section's header line, or -1.
  int FindSection(std::string_view section) const;
  // One past the last line that belongs to the section starting at `header`.
  int SectionEnd(int header) const;
  int FindKey(int header, std::string_view key) const;
  void Store() const;
  // What a refused write raises.
  [[noreturn]] void Unwritable() const;

  std::string path_;
  std::vector<Line> lines_;
  bool unreadable_ = false;
  std::string warning_;
};

}  // namespace velt
