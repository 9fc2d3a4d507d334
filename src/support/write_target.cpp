#include "support/write_target.h"

#include "support/code_page.h"
#include "support/file_problem.h"
#include "support/platform.h"

namespace velt {
namespace {

std::string FolderOf(const std::string& path) {
  std::string folder = platform::DirectoryPart(path);
  return folder.empty() ? std::string(".") : folder;
}

// A file that exists is its identity; a name not yet there is its folder's
// identity and the name, so that two spellings of one new file meet too.
// Nothing when not even the folder exists.
std::optional<std::string> Key(const std::string& path) {
  platform::FileIdentity id;
  if (platform::IdentityOf(path, id)) return std::to_string(id.volume) + ":" + std::to_string(id.node);
  if (!platform::IdentityOf(FolderOf(path), id)) return std::nullopt;
  return std::to_string(id.volume) + ":" + std::to_string(id.node) + "/" + platform::FileNamePart(path);
}

std::string Cause(const std::string& path, const std::string& why) {
  return VELT_ANSI("Файл ") + ShownPath(path) + ": " + why + ".";
}

// Why an existing regular file cannot be written now.
std::optional<std::string> AccessCause(const std::string& path) {
  switch (platform::ProbeWrite(path)) {
    case platform::WriteAccess::Ok:
      return std::nullopt;
    case platform::WriteAccess::NoRight:
      return Cause(path, VELT_ANSI("нет прав на запись в него (файл только для чтения или чужой)"));
    case platform::WriteAccess::ReadOnlyMedium:
      return Cause(path, VELT_ANSI("носитель только для чтения"));
    case platform::WriteAccess::Locked:
      return Cause(path, VELT_ANSI("занят другой программой, закройте её"));
    default:
      return Cause(path, VELT_ANSI("не открывается для записи"));
  }
}

// Why `path` cannot take what is written there. A new name is left to the
// command: the folders it writes into are checked where it names them.
std::optional<std::string> KindCause(const std::string& path) {
  switch (platform::KindOf(path)) {
    case platform::PathKind::Link:
      return Cause(path, VELT_ANSI("это символическая ссылка, запись заменила бы её обычным файлом; "
                                   "укажите сам файл"));
    case platform::PathKind::Folder:
      return Cause(path, VELT_ANSI("это папка, а не файл"));
    case platform::PathKind::Special:
      return Cause(path, VELT_ANSI("это не обычный файл (канал, устройство или сокет)"));
    case platform::PathKind::RegularFile:
      return AccessCause(path);
    case platform::PathKind::Missing:
      break;
  }
  return std::nullopt;
}

}  // namespace

std::string WriteProblem::Text() const {
  return VELT_ANSI("Запись невозможна (") + role + "): " + ShownPath(path) + "\n" + cause;
}

void WriteTargets::Reads(const std::string& path, const std::string& role) {
  entries_.push_back({path, role, false});
}

void WriteTargets::Writes(const std::string& path, const std::string& role) {
  entries_.push_back({path, role, true});
}

std::optional<WriteProblem> WriteTargets::Check() const {
  if (auto clash = FirstClash()) return clash;
  return FirstUnfit();
}

std::optional<WriteProblem> WriteTargets::FirstClash() const {
  std::vector<std::optional<std::string>> keys;
  for (const Entry& entry : entries_) keys.push_back(Key(entry.path));
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (!entries_[i].written || !keys[i]) continue;
    for (std::size_t j = 0; j < entries_.size(); ++j) {
      if (j == i || keys[j] != keys[i]) continue;
      const Entry& other = entries_[j];
      return WriteProblem{entries_[i].path, entries_[i].role,
                          VELT_ANSI("Файл ") + ShownPath(entries_[i].path) + VELT_ANSI(" — это и ") +
                              entries_[i].role + VELT_ANSI(", и ") + other.role + " (" +
                              ShownPath(other.path) +
                              VELT_ANSI(") этой же команды: запись уничтожила бы его. Укажите другой файл."),
                          true};
    }
  }
  return std::nullopt;
}

std::optional<WriteProblem> WriteTargets::FirstUnfit() const {
  for (const Entry& entry : entries_) {
    if (!entry.written) continue;
    if (auto cause = KindCause(entry.path)) return WriteProblem{entry.path, entry.role, *cause, false};
  }
  return std::nullopt;
}

}  // namespace velt
