#include "support/file_problem.h"

#include <cstdint>
#include <string>

#include "support/code_page.h"
#include "support/platform.h"

namespace velt {
namespace {

std::string Line(const std::string& what1251, const std::string& path, const std::string& cause1251) {
  const bool ended = !cause1251.empty() && cause1251.back() == '.';
  return what1251 + ShownPath(path) + ": " + cause1251 + (ended ? "" : ".");
}

std::string FileLine(const std::string& path, const std::string& cause1251) {
  return Line(VELT_ANSI("Файл "), path, cause1251);
}

std::string FolderLine(const std::string& path, const std::string& cause1251) {
  return Line(VELT_ANSI("Папка "), path, cause1251);
}

// The folder part of a path, "." for a bare file name.
std::string FolderOf(const std::string& path) {
  std::string folder = platform::DirectoryPart(path);
  return folder.empty() ? std::string(".") : folder;
}

// The first bytes of a dBase table: a known version, a header of at least
// one field and its end mark, records of at least the deletion flag, and a
// file that holds the whole header.
bool LooksLikeTableHeader(const platform::File& file) {
  unsigned char header[32];
  if (file.ReadAt(0, header, sizeof header) != sizeof header) return false;
  const unsigned version = header[0];
  const bool known = version == 0x03 || version == 0x30 || version == 0x31 || version == 0x83 ||
                     version == 0x8B || version == 0xF5;
  const unsigned headerLength = header[8] | header[9] << 8;
  const unsigned recordLength = header[10] | header[11] << 8;
  return known && headerLength >= 65 && recordLength >= 2 && file.Size() >= headerLength;
}

// The true cause of the last failed write, when the platform knew it.
const std::string* KnownCause(platform::WriteFailure failure) {
  static const std::string noSpace = VELT_ANSI("диск заполнен");
  static const std::string noRight = VELT_ANSI("нет прав на запись");
  static const std::string readOnly = VELT_ANSI("носитель только для чтения");
  static const std::string locked = VELT_ANSI("занят другой программой, закройте её");
  switch (failure) {
    case platform::WriteFailure::NoSpace:
      return &noSpace;
    case platform::WriteFailure::NoRight:
      return &noRight;
    case platform::WriteFailure::ReadOnlyMedium:
      return &readOnly;
    case platform::WriteFailure::Locked:
      return &locked;
    default:
      return nullptr;
  }
}

}  // namespace

std::string ShownPath(const std::string& path) {
  std::string shown;
  for (std::size_t i = 0; i < path.size(); ++i) {
    const bool doubled =
        i > 1 && platform::IsPathSeparator(path[i]) && platform::IsPathSeparator(path[i - 1]);
    if (!doubled) shown += path[i];
  }
  return shown;
}

std::string TableProblemLine(const std::string& path, const std::string& cause1251) {
  return FileLine(path, cause1251);
}

std::string TableReadProblem(const std::string& path) {
  if (platform::DirectoryExists(path)) return FileLine(path, VELT_ANSI("это папка, а не таблица dBase"));
  if (!platform::FileExists(path)) {
    if (platform::IsSpecialFile(path)) return FileLine(path, VELT_ANSI("это не обычный файл"));
    return FileLine(path, VELT_ANSI("не найден"));
  }
  platform::File file;
  switch (file.Open(path, platform::File::Mode::Read, platform::File::Lock::Shared)) {
    case platform::OpenResult::Ok:
      break;
    case platform::OpenResult::Locked:
      return FileLine(path, VELT_ANSI("занят другой программой, закройте её"));
    case platform::OpenResult::AccessDenied:
      return FileLine(path, VELT_ANSI("нет прав на чтение"));
    case platform::OpenResult::NotFound:
      return FileLine(path, VELT_ANSI("не найден"));
    default:
      return FileLine(path, VELT_ANSI("не читается"));
  }
  if (file.Size() == 0) return FileLine(path, VELT_ANSI("пустой, это не таблица dBase"));
  // A header that reads well now: either damage further on, or the table
  // was held for a moment when it was opened.
  if (LooksLikeTableHeader(file))
    return FileLine(path,
                    VELT_ANSI("не открылся как таблица dBase: повреждён или был занят другой программой"));
  return FileLine(path, VELT_ANSI("не является таблицей dBase или повреждён"));
}

std::optional<std::string> FolderWriteProblem(const std::string& folder) {
  if (folder.empty()) return VELT_ANSI("Папка не выбрана.");
  if (!platform::DirectoryExists(folder)) {
    if (platform::FileExists(folder)) return FolderLine(folder, VELT_ANSI("это файл, а не папка"));
    return FolderLine(folder, VELT_ANSI("не найдена"));
  }
  const std::string probe =
      folder + platform::PathSeparator() + ".veltconv-" + std::to_string(platform::ProcessId()) + ".tmp";
  platform::File file;
  const bool written = file.Open(probe, platform::File::Mode::CreateTruncate,
                                 platform::File::Lock::Exclusive) == platform::OpenResult::Ok &&
                       file.WriteAt(0, "v", 1);
  file.Close();
  platform::RemoveFile(probe);
  if (written) return std::nullopt;
  if (const std::string* cause = KnownCause(platform::LastWriteFailure()))
    return FolderLine(folder, VELT_ANSI("нельзя записать: ") + *cause);
  return FolderLine(folder, VELT_ANSI("нельзя записать (нет прав или носитель только для чтения)"));
}

std::string FileWriteProblem(const std::string& path) {
  // Taken first: the folder's own check below writes, and fails, anew.
  const platform::WriteFailure failure = platform::LastWriteFailure();
  if (auto problem = FolderWriteProblem(FolderOf(path))) return *problem;
  if (platform::DirectoryExists(path)) return FileLine(path, VELT_ANSI("это папка, а не файл"));
  if (platform::IsSpecialFile(path))
    return FileLine(path, VELT_ANSI("это не обычный файл (канал, устройство или сокет)"));
  if (const std::string* cause = KnownCause(failure))
    return FileLine(path, VELT_ANSI("нельзя записать: ") + *cause);
  return FileLine(
      path, VELT_ANSI("нельзя записать: файл только для чтения, занят другой программой или диск заполнен"));
}

}  // namespace velt
