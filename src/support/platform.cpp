#include "support/platform.h"

#include "support/code_page.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <system_error>

#ifdef _WIN32
#error "The Windows half of the platform file is not written yet"
#else
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>
#endif

namespace velt::platform {
namespace {

// Paths are Windows-1251 in memory like every text of the program; the
// file system here speaks UTF-8.
std::string Os(const std::string& path) { return AnsiToUtf8(path); }
std::string FromOs(const std::string& path) { return Utf8ToAnsi(path); }

FaultHooks& Hooks() {
  static FaultHooks hooks;
  return hooks;
}

}  // namespace

void SetFaultHooks(FaultHooks hooks) { Hooks() = std::move(hooks); }

File::~File() { Close(); }

OpenResult File::Open(const std::string& path, Mode mode, Lock lock) {
  Close();
  if (mode != Mode::Read && Hooks().denyWriteOpen && Hooks().denyWriteOpen(path))
    return OpenResult::AccessDenied;
  int flags = O_CLOEXEC;
  switch (mode) {
    case Mode::Read: flags |= O_RDONLY; break;
    case Mode::ReadWrite: flags |= O_RDWR; break;
    case Mode::CreateTruncate: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
  }
  int fd = ::open(Os(path).c_str(), flags, 0666);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return OpenResult::NotFound;
    if (errno == EACCES || errno == EROFS || errno == EPERM) return OpenResult::AccessDenied;
    return OpenResult::Failed;
  }
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    return OpenResult::Failed;
  }
  if (lock != Lock::None) {
    // flock locks belong to the open file, so two opens inside one process
    // conflict just as two programs do.
    int op = (lock == Lock::Shared ? LOCK_SH : LOCK_EX) | LOCK_NB;
    if (::flock(fd, op) != 0) {
      ::close(fd);
      return OpenResult::Locked;
    }
  }
  handle_ = fd;
  path_ = path;
  return OpenResult::Ok;
}

bool File::IsOpen() const { return handle_ >= 0; }

void File::Close() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
  handle_ = -1;
  path_.clear();
}

std::size_t File::ReadAt(std::uint64_t offset, void* buffer, std::size_t length) const {
  std::size_t done = 0;
  auto* out = static_cast<char*>(buffer);
  while (done < length) {
    ssize_t n = ::pread(static_cast<int>(handle_), out + done, length - done,
                        static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

bool File::WriteAt(std::uint64_t offset, const void* buffer, std::size_t length) {
  if (Hooks().writeFault && Hooks().writeFault(path_, offset, length)) return false;
  std::size_t done = 0;
  const auto* in = static_cast<const char*>(buffer);
  while (done < length) {
    ssize_t n = ::pwrite(static_cast<int>(handle_), in + done, length - done,
                         static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::uint64_t File::Size() const {
  struct stat st {};
  if (::fstat(static_cast<int>(handle_), &st) != 0) return 0;
  return static_cast<std::uint64_t>(st.st_size);
}

bool File::Truncate(std::uint64_t size) {
  return ::ftruncate(static_cast<int>(handle_), static_cast<off_t>(size)) == 0;
}

bool File::Flush() { return ::fdatasync(static_cast<int>(handle_)) == 0; }

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(Os(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {}, sb {};
  if (::stat(Os(a).c_str(), &sa) != 0 || ::stat(Os(b).c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool DirectoryExists(const std::string& path) {
  struct stat st {};
  return ::stat(Os(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool RemoveFile(const std::string& path) { return ::unlink(Os(path).c_str()) == 0; }

bool ReplaceFile(const std::string& from, const std::string& to) {
  return ::rename(Os(from).c_str(), Os(to).c_str()) == 0;
}

bool AppendToFile(const std::string& path, const std::string& bytes) {
  int fd = ::open(Os(path).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = true;
  if (Hooks().writeFault && Hooks().writeFault(path, 0, bytes.size())) ok = false;
  std::size_t done = 0;
  while (ok && done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ok = false;
    else done += static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0) ok = false;
  return ok;
}

bool ReadWholeFile(const std::string& path, std::string& out) {
  File file;
  if (file.Open(path, File::Mode::Read, File::Lock::None) != OpenResult::Ok) return false;
  out.resize(file.Size());
  out.resize(file.ReadAt(0, out.data(), out.size()));
  return true;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
  File file;
  if (file.Open(path, File::Mode::CreateTruncate, File::Lock::None) != OpenResult::Ok) return false;
  return file.WriteAt(0, bytes.data(), bytes.size());
}

bool CreateDirectories(const std::string& path) {
  std::error_code ec;
  std::filesystem::create_directories(Os(path), ec);
  return DirectoryExists(path);
}

char PathSeparator() { return '/'; }

bool IsPathSeparator(char c) { return c == '/'; }

std::string FileNamePart(const std::string& path) {
  auto pos = path.find_last_of('/');
  return pos == std::string::npos ? path : path.substr(pos + 1);
}

std::string DirectoryPart(const std::string& path) {
  auto pos = path.find_last_of('/');
  return pos == std::string::npos ? std::string() : path.substr(0, pos + 1);
}

std::string ExecutablePath() {
  std::error_code ec;
  auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : FromOs(p.string());
}

std::string CurrentDirectory() {
  std::error_code ec;
  auto p = std::filesystem::current_path(ec);
  return ec ? std::string() : FromOs(p.string());
}

std::string ResolveIgnoringCase(const std::string& directory, const std::string& name) {
  std::string dir = directory;
  if (!dir.empty() && !IsPathSeparator(dir.back())) dir += PathSeparator();
  std::string exact = dir + name;
  if (FileExists(exact) || DirectoryExists(exact)) return exact;
  DIR* d = ::opendir(dir.empty() ? "." : Os(dir).c_str());
  if (d == nullptr) return exact;
  std::string found;
  while (dirent* e = ::readdir(d)) {
    // Letter case of the program's own (Latin) file names only.
    if (::strcasecmp(e->d_name, Os(name).c_str()) == 0) {
      found = dir + FromOs(e->d_name);
      break;
    }
  }
  ::closedir(d);
  return found.empty() ? exact : found;
}

LocalTime Now() {
  struct timeval tv {};
  ::gettimeofday(&tv, nullptr);
  std::tm tm {};
  time_t seconds = tv.tv_sec;
  ::localtime_r(&seconds, &tm);
  return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
                   tm.tm_min,         tm.tm_sec,     static_cast<int>(tv.tv_usec / 1000)};
}

}  // namespace velt::platform
