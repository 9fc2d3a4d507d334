#include "state/ini_file.h"

#include <utility>

#include "support/code_page.h"
#include "support/error.h"
#include "support/file_problem.h"
#include "support/platform.h"
#include "support/text.h"

namespace velt {
namespace {

// "Unable to write to <path>" and, on a second line, why: the folder, a
// folder in the file's place, a full disk, no right, ...
bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (UpperChar(a[i]) != UpperChar(b[i])) return false;
  return true;
}

bool IsQuote(char c) { return c == '"' || c == '\''; }

bool EnclosedInQuotes(std::string_view value) {
  return value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front();
}

// The value of a key line: what follows its first "=", blanks removed.
std::string_view RawValue(std::string_view line) { return TrimView(line.substr(line.find('=') + 1)); }

std::string EncodeValue(std::string_view value) {
  std::string text(value);
  for (char& c : text)
    if (c == '\r' || c == '\n') c = ' ';
  bool quote = EnclosedInQuotes(text) || (!text.empty() && (IsBlank(text.front()) || IsBlank(text.back())));
  return quote ? '"' + text + '"' : text;
}

std::string KeyLine(std::string_view key, std::string_view value) {
  std::string line(key);
  line += '=';
  line += EncodeValue(value);
  return line;
}

}  // namespace

// The whole file, when it is a regular file of a sane size; else why not.
IniFile::IniFile(std::string path) : path_(std::move(path)) {
  platform::File file;
  switch (file.Open(path_, platform::File::Mode::Read, platform::File::Lock::None)) {
    case platform::OpenResult::Ok:
      break;
    case platform::OpenResult::NotAFile:
      unreadable_ = true;
      warning_ = VELT_ANSI("Файл настроек ") + path_ +
                 VELT_ANSI(" не прочитан: это не обычный файл (канал или устройство).");
      return;
    default:
      unreadable_ = platform::FileExists(path_) || platform::DirectoryExists(path_);
      if (platform::DirectoryExists(path_))
        warning_ = VELT_ANSI("Файл настроек ") + path_ + VELT_ANSI(" не прочитан: это папка, а не файл.");
      return;
  }
  if (file.Size() > kMaxFileSize) {
    unreadable_ = true;
    warning_ = VELT_ANSI("Файл настроек ") + path_ +
               VELT_ANSI(" не прочитан: он больше 1 МБ, такого файла настроек не бывает.");
    return;
  }
  std::string content(file.Size(), '\0');
  content.resize(file.ReadAt(0, content.data(), content.size()));
  // An editor that saved the file as UTF-8 put its byte-order mark first,
  // which would hide the first section; the text is then UTF-8 throughout.
  constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
  if (content.starts_with(kUtf8Mark)) content = Utf8ToAnsi(content.substr(kUtf8Mark.size()));
  std::size_t start = 0;
  while (start < content.size()) {
    std::size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::size_t stop = end;
    if (stop > start && content[stop - 1] == '\r') --stop;
    lines_.push_back(ParseLine(content.substr(start, stop - start)));
    start = end + 1;
  }
}

IniFile::Line IniFile::ParseLine(std::string text) {
  Line line;
  std::string_view body = TrimView(text);
  if (!body.empty() && body.front() == '[') {
    std::size_t close = body.rfind(']');
    if (close != std::string_view::npos) {
      line.kind = Line::Kind::Section;
      line.name = Trim(body.substr(1, close - 1));
    }
  }
  if (line.kind == Line::Kind::Other && !body.empty() && body.front() != ';') {
    std::size_t eq = body.find('=');
    if (eq != std::string_view::npos) {
      line.kind = Line::Kind::Key;
      line.name = Trim(body.substr(0, eq));
    }
  }
  line.text = std::move(text);
  return line;
}

int IniFile::FindSection(std::string_view section) const {
  for (std::size_t i = 0; i < lines_.size(); ++i)
    if (lines_[i].kind == Line::Kind::Section && SameName(lines_[i].name, section))
      return static_cast<int>(i);
  return -1;
}

int IniFile::SectionEnd(int header) const {
  int i = header + 1;
  while (i < static_cast<int>(lines_.size()) && lines_[i].kind != Line::Kind::Section) ++i;
  return i;
}

int IniFile::FindKey(int header, std::string_view key) const {
  int end = SectionEnd(header);
  for (int i = header + 1; i < end; ++i)
    if (lines_[i].kind == Line::Kind::Key && SameName(lines_[i].name, key)) return i;
  return -1;
}

bool IniFile::SectionExists(std::string_view section) const { return FindSection(section) >= 0; }

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view fallback) const {
  int header = FindSection(section);
  int line = header < 0 ? -1 : FindKey(header, key);
  if (line < 0) return std::string(fallback);
  std::string_view value = RawValue(lines_[line].text);
  if (EnclosedInQuotes(value)) value = value.substr(1, value.size() - 2);
  return std::string(value.substr(0, kMaxValueLength));
}

int IniFile::ReadInteger(std::string_view section, std::string_view key, int fallback) const {
  return StrToIntDef(ReadString(section, key, ""), fallback);
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  if (unreadable_) Unwritable();
  int header = FindSection(section);
  if (header < 0) {
    lines_.push_back(ParseLine("[" + std::string(section) + "]"));
    lines_.push_back(ParseLine(KeyLine(key, value)));
  } else if (int line = FindKey(header, key); line >= 0) {
    // The key keeps the spelling it has in the file.
    lines_[line] = ParseLine(KeyLine(lines_[line].name, value));
  } else {
    // A new key follows the section's last non-blank line, so that blank
    // lines between sections stay where they are.
    int at = SectionEnd(header);
    while (at > header + 1 && TrimView(lines_[at - 1].text).empty()) --at;
    lines_.insert(lines_.begin() + at, ParseLine(KeyLine(key, value)));
  }
  Store();
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
  WriteString(section, key, std::to_string(value));
}

void IniFile::EraseSection(std::string_view section) {
  if (unreadable_) Unwritable();
  for (int header = FindSection(section); header >= 0; header = FindSection(section))
    lines_.erase(lines_.begin() + header, lines_.begin() + SectionEnd(header));
  Store();
}

void IniFile::Store() const {
  // A file that refuses writing (read-only) is refused here too, although
  // the rename below would get past it.
  if (platform::FileExists(path_)) {
    platform::File existing;
    if (existing.Open(path_, platform::File::Mode::ReadWrite, platform::File::Lock::None) !=
        platform::OpenResult::Ok)
      Unwritable();
  }
  std::string content;
  for (const Line& line : lines_) {
    content += line.text;
    content += "\r\n";
  }
  std::string temp = path_ + ".tmp";
  if (!platform::WriteWholeFile(temp, content) || !platform::ReplaceFile(temp, path_)) {
    platform::RemoveFile(temp);
    Unwritable();
  }
}

void IniFile::Unwritable() const {
  const std::string cause = unreadable_ && !warning_.empty() ? warning_ : FileWriteProblem(path_);
  throw Error(VELT_ANSI("Не удалось сохранить настройки в файл ") + ShownPath(path_) +
              (cause.empty() ? std::string() : "\n" + cause));
}

}  // namespace velt
