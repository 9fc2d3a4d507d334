#include "support/platform.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <new>
#include <string_view>
#include <system_error>
#include <utility>

#include "support/code_page.h"

#ifdef _WIN32
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>
// windows.h names its own ReplaceFile; ours is declared in platform.h.
#undef ReplaceFile
#else
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#endif

namespace velt::platform {
namespace {

// The characters after which a path's file-name part begins: on Windows a
// drive letter's colon ends the folder part as well ("C:F1232401.DBF").
#ifdef _WIN32
constexpr std::string_view kNameStarts = "\\/:";
#else
constexpr std::string_view kNameStarts = "/";
#endif

// Process-wide: output tables write their batches on a thread of their own,
// and the failure is reported on the run's.
std::atomic<WriteFailure> g_lastWriteFailure{WriteFailure::None};

void NoteFailure(WriteFailure failure) { g_lastWriteFailure = failure; }

FaultHooks& Hooks() {
  static FaultHooks hooks;
  return hooks;
}

bool WriteRefused(const std::string& path, std::uint64_t offset, std::size_t length) {
  const bool refused = Hooks().writeFault && Hooks().writeFault(path, offset, length);
  if (refused) NoteFailure(WriteFailure::NoSpace);
  return refused;
}

bool ReadRefused(const std::string& path, std::uint64_t offset, std::size_t length) {
  return Hooks().readFault && Hooks().readFault(path, offset, length);
}

bool WriteOpenRefused(const std::string& path) {
  const bool refused = Hooks().denyWriteOpen && Hooks().denyWriteOpen(path);
  if (refused) NoteFailure(WriteFailure::ReadOnlyMedium);
  return refused;
}

std::filesystem::path OsPath(const std::string& path);

}  // namespace

void SetFaultHooks(FaultHooks hooks) { Hooks() = std::move(hooks); }

WriteFailure LastWriteFailure() { return g_lastWriteFailure; }

File::~File() { Close(); }

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

bool ReplaceWholeFile(const std::string& path, const std::string& bytes) {
  const std::string temporary = path + ".tmp";
  if (WriteWholeFile(temporary, bytes) && ReplaceFile(temporary, path)) return true;
  RemoveFile(temporary);
  return false;
}

bool CopyWholeFile(const std::string& from, const std::string& to) {
  constexpr std::size_t kPieceBytes = std::size_t{1} << 20;
  File source, target;
  if (source.Open(from, File::Mode::Read, File::Lock::None) != OpenResult::Ok ||
      target.Open(to, File::Mode::CreateTruncate, File::Lock::Exclusive) != OpenResult::Ok)
    return false;
  std::string piece(kPieceBytes, '\0');
  for (std::uint64_t at = 0;;) {
    const std::size_t got = source.ReadAt(at, piece.data(), piece.size());
    if (got == 0) return at == source.Size();
    if (!target.WriteAt(at, piece.data(), got)) return false;
    at += got;
  }
}

bool File::MoveTo(const std::string& target) {
  if (!IsOpen() || !ReplaceFile(path_, target)) return false;
  path_ = target;
  return true;
}

bool CreateDirectories(const std::string& path) {
  std::error_code ec;
  std::filesystem::create_directories(OsPath(path), ec);
  return DirectoryExists(path);
}

std::string FileNamePart(const std::string& path) {
  auto pos = path.find_last_of(kNameStarts);
  return pos == std::string::npos ? path : path.substr(pos + 1);
}

std::string DirectoryPart(const std::string& path) {
  auto pos = path.find_last_of(kNameStarts);
  return pos == std::string::npos ? std::string() : path.substr(0, pos + 1);
}

#ifdef _WIN32
// ---- Windows: the wide API, paths converted from 1251 at the boundary.

namespace {

constexpr UINT kAnsiCodePage = 1251;

std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  int wide = ::MultiByteToWideChar(kAnsiCodePage, 0, text.data(), length, nullptr, 0);
  std::wstring out(static_cast<std::size_t>(wide), L'\0');
  ::MultiByteToWideChar(kAnsiCodePage, 0, text.data(), length, out.data(), wide);
  return out;
}

// A letter that 1251 lacks becomes '?', as everywhere in the program.
std::string Narrow(const std::wstring& text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  int narrow = ::WideCharToMultiByte(kAnsiCodePage, 0, text.data(), length, nullptr, 0, "?", nullptr);
  std::string out(static_cast<std::size_t>(narrow), '\0');
  ::WideCharToMultiByte(kAnsiCodePage, 0, text.data(), length, out.data(), narrow, "?", nullptr);
  return out;
}

std::filesystem::path OsPath(const std::string& path) { return std::filesystem::path(Wide(path)); }

HANDLE Handle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// Every open lets other opens read, write, rename and delete the file; who
// may hold a table is settled by the locks alone, as with flock elsewhere.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Windows range locks are mandatory: a locked range cannot be written, not
// even through the handle that holds a shared lock. The lock therefore sits
// on one byte far past the end of any table, where it guards no data.
constexpr std::uint64_t kLockOffset = 0x7FFFFFFF00000000ull;

// ReadFile and WriteFile count in DWORDs: transfers go in pieces of 1 GiB.
constexpr std::size_t kPiece = std::size_t{1} << 30;

OVERLAPPED At(std::uint64_t offset) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return at;
}

DWORD Attributes(const std::string& path) { return ::GetFileAttributesW(Wide(path).c_str()); }

WriteFailure FailureOf(DWORD error) {
  switch (error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return WriteFailure::NoSpace;
    case ERROR_ACCESS_DENIED:
      return WriteFailure::NoRight;
    case ERROR_WRITE_PROTECT:
      return WriteFailure::ReadOnlyMedium;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return WriteFailure::Locked;
    default:
      return WriteFailure::Other;
  }
}

OpenResult OpenFailure(const std::string& path, File::Mode mode, DWORD error) {
  if (mode != File::Mode::Read) NoteFailure(FailureOf(error));
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
      return OpenResult::NotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      // A folder is refused the same way; it is no read-only file.
      return DirectoryExists(path) ? OpenResult::Failed : OpenResult::AccessDenied;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      // Another program holds the file without sharing it. When it only
      // forbids writing, the caller may still open it for reading.
      return mode == File::Mode::Read ? OpenResult::Locked : OpenResult::AccessDenied;
    default:
      return OpenResult::Failed;
  }
}

bool ReadIdentity(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
  // No access asked for: the identity of a file that others hold open, or of
  // a folder (backup semantics), can still be read.
  HANDLE h = ::CreateFileW(Wide(path).c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool ok = ::GetFileInformationByHandle(h, &info) != 0;
  ::CloseHandle(h);
  return ok;
}

bool SameIdentity(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

// A file renamed over again and again between open and lock is given up.
constexpr int kOpenAttempts = 8;

}  // namespace

OpenResult File::Open(const std::string& path, Mode mode, Lock lock) {
  Close();
  if (mode != Mode::Read && WriteOpenRefused(path)) return OpenResult::AccessDenied;
  const DWORD access = mode == Mode::Read ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
  // The file is emptied below, once its lock is held.
  const DWORD disposition = mode == Mode::CreateTruncate ? OPEN_ALWAYS : OPEN_EXISTING;
  for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
    HANDLE h = ::CreateFileW(Wide(path).c_str(), access, kShareAll, nullptr, disposition,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return OpenFailure(path, mode, ::GetLastError());
    if (::GetFileType(h) != FILE_TYPE_DISK) {  // a pipe or a device
      ::CloseHandle(h);
      return OpenResult::NotAFile;
    }
    if (lock != Lock::None) {
      // Locks belong to the handle, so two opens inside one process conflict
      // just as two programs do.
      OVERLAPPED at = At(kLockOffset);
      DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (lock == Lock::Exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
      if (!::LockFileEx(h, flags, 0, 1, 0, &at)) {
        ::CloseHandle(h);
        return OpenResult::Locked;
      }
      // Another program may have put a new file in this one's place while
      // the lock was taken; a lock on the old one would guard nothing.
      BY_HANDLE_FILE_INFORMATION held{}, named{};
      if (!::GetFileInformationByHandle(h, &held) || !ReadIdentity(path, named) ||
          !SameIdentity(held, named)) {
        ::UnlockFileEx(h, 0, 1, 0, &at);
        ::CloseHandle(h);
        continue;
      }
    }
    if (mode == Mode::CreateTruncate) {
      LARGE_INTEGER start{};
      if (!::SetFilePointerEx(h, start, nullptr, FILE_BEGIN) || !::SetEndOfFile(h)) {
        ::CloseHandle(h);
        return OpenResult::Failed;
      }
    }
    handle_ = reinterpret_cast<std::intptr_t>(h);
    path_ = path;
    return OpenResult::Ok;
  }
  return OpenResult::Failed;
}

bool File::IsOpen() const { return handle_ != -1; }

void File::Close() {
  if (handle_ != -1) {
    // Released at once: a lock left to the closing handle may outlive it for
    // a while and refuse the next open.
    OVERLAPPED at = At(kLockOffset);
    ::UnlockFileEx(Handle(handle_), 0, 1, 0, &at);
    ::CloseHandle(Handle(handle_));
  }
  handle_ = -1;
  path_.clear();
}

std::size_t File::ReadAt(std::uint64_t offset, void* buffer, std::size_t length) const {
  if (ReadRefused(path_, offset, length)) return 0;
  std::size_t done = 0;
  auto* out = static_cast<char*>(buffer);
  while (done < length) {
    OVERLAPPED at = At(offset + done);
    DWORD got = 0;
    DWORD piece = static_cast<DWORD>(std::min(length - done, kPiece));
    if (!::ReadFile(Handle(handle_), out + done, piece, &got, &at) || got == 0) break;
    done += got;
  }
  return done;
}

bool File::WriteAt(std::uint64_t offset, const void* buffer, std::size_t length) {
  if (WriteRefused(path_, offset, length)) return false;
  std::size_t done = 0;
  const auto* in = static_cast<const char*>(buffer);
  while (done < length) {
    OVERLAPPED at = At(offset + done);
    DWORD put = 0;
    DWORD piece = static_cast<DWORD>(std::min(length - done, kPiece));
    const bool wrote = ::WriteFile(Handle(handle_), in + done, piece, &put, &at) != 0;
    if (!wrote || put == 0) {
      NoteFailure(wrote ? WriteFailure::NoSpace : FailureOf(::GetLastError()));
      return false;
    }
    done += put;
  }
  return true;
}

std::uint64_t File::Size() const {
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(Handle(handle_), &size)) return 0;
  return static_cast<std::uint64_t>(size.QuadPart);
}

bool File::Truncate(std::uint64_t size) {
  LARGE_INTEGER end{};
  end.QuadPart = static_cast<LONGLONG>(size);
  return ::SetFilePointerEx(Handle(handle_), end, nullptr, FILE_BEGIN) && ::SetEndOfFile(Handle(handle_));
}

bool File::Flush() { return ::FlushFileBuffers(Handle(handle_)) != 0; }

bool FileExists(const std::string& path) {
  DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsSpecialFile(const std::string& path) {
  HANDLE h = ::CreateFileW(Wide(path).c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool special = ::GetFileType(h) != FILE_TYPE_DISK;
  ::CloseHandle(h);
  return special;
}

bool SameFile(const std::string& a, const std::string& b) {
  BY_HANDLE_FILE_INFORMATION ia{}, ib{};
  return ReadIdentity(a, ia) && ReadIdentity(b, ib) && SameIdentity(ia, ib);
}

bool DirectoryExists(const std::string& path) {
  DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

PathKind KindOf(const std::string& path) {
  const DWORD attributes = Attributes(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::Missing;
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return PathKind::Link;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return PathKind::Folder;
  return IsSpecialFile(path) ? PathKind::Special : PathKind::RegularFile;
}

bool IdentityOf(const std::string& path, FileIdentity& out) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!ReadIdentity(path, info)) return false;
  out.volume = info.dwVolumeSerialNumber;
  out.node = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  return true;
}

WriteAccess ProbeWrite(const std::string& path) {
  if (WriteOpenRefused(path)) return WriteAccess::ReadOnlyMedium;
  HANDLE h = ::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    switch (::GetLastError()) {
      case ERROR_ACCESS_DENIED:
        return WriteAccess::NoRight;
      case ERROR_WRITE_PROTECT:
        return WriteAccess::ReadOnlyMedium;
      case ERROR_SHARING_VIOLATION:
      case ERROR_LOCK_VIOLATION:
        return WriteAccess::Locked;
      default:
        return WriteAccess::Failed;
    }
  }
  OVERLAPPED at = At(kLockOffset);
  const bool free = ::LockFileEx(h, LOCKFILE_FAIL_IMMEDIATELY | LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at) != 0;
  if (free) ::UnlockFileEx(h, 0, 1, 0, &at);
  ::CloseHandle(h);
  return free ? WriteAccess::Ok : WriteAccess::Locked;
}

// A file that is still open keeps its name on Windows until its last handle
// closes, even when deleted, and cannot be renamed over. The program's own
// opens share deletion, so such a file is first renamed aside, which frees
// its name at once while the open handles go on with the old file, as they
// do elsewhere. A file another program holds without sharing stays put.
namespace {

std::string AsideName(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  return path + "." + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(counter++) + ".gone~";
}

bool Move(const std::string& from, const std::string& to, DWORD flags) {
  return ::MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), flags) != 0;
}

}  // namespace

bool RemoveFile(const std::string& path) {
  const std::string aside = AsideName(path);
  if (!Move(path, aside, 0)) return ::DeleteFileW(Wide(path).c_str()) != 0;
  if (::DeleteFileW(Wide(aside).c_str())) return true;
  Move(aside, path, 0);  // a read-only file, say: it stays as it was
  return false;
}

bool ReplaceFile(const std::string& from, const std::string& to) {
  const PathKind target = KindOf(to);
  if (target != PathKind::Missing && target != PathKind::RegularFile) return false;
  if (Move(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
  const DWORD error = ::GetLastError();
  if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) || !FileExists(to)) return false;
  const std::string aside = AsideName(to);
  if (!Move(to, aside, 0)) return false;
  if (!Move(from, to, MOVEFILE_WRITE_THROUGH)) {
    Move(aside, to, 0);
    return false;
  }
  ::DeleteFileW(Wide(aside).c_str());  // gone when its last handle closes
  return true;
}

bool AppendToFile(const std::string& path, const std::string& bytes) {
  HANDLE h = ::CreateFileW(Wide(path).c_str(), FILE_APPEND_DATA, kShareAll, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool ok = ::GetFileType(h) == FILE_TYPE_DISK && !WriteRefused(path, 0, bytes.size());
  std::size_t done = 0;
  while (ok && done < bytes.size()) {
    DWORD put = 0;
    DWORD piece = static_cast<DWORD>(std::min(bytes.size() - done, kPiece));
    if (!::WriteFile(h, bytes.data() + done, piece, &put, nullptr) || put == 0) ok = false;
    done += put;
  }
  if (!::CloseHandle(h)) ok = false;
  return ok;
}

char PathSeparator() { return '\\'; }

bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

std::string ExecutablePath() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    // A full buffer means the path may have been cut: try a larger one.
    if (length < buffer.size()) {
      buffer.resize(length);
      return Narrow(buffer);
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::string CurrentDirectory() {
  DWORD needed = ::GetCurrentDirectoryW(0, nullptr);  // with the closing zero
  if (needed == 0) return {};
  std::wstring buffer(needed, L'\0');
  DWORD length = ::GetCurrentDirectoryW(needed, buffer.data());
  if (length == 0 || length >= needed) return {};
  buffer.resize(length);
  return Narrow(buffer);
}

std::string ResolveIgnoringCase(const std::string& directory, const std::string& name) {
  // The file system ignores letter case itself; the search only tells the
  // name as the folder spells it, as the lookup does elsewhere.
  std::string dir = directory;
  if (!dir.empty() && !IsPathSeparator(dir.back())) dir += PathSeparator();
  WIN32_FIND_DATAW found{};
  HANDLE search = ::FindFirstFileW(Wide(dir + name).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return dir + name;
  ::FindClose(search);
  std::string spelt = Narrow(found.cFileName);
  // A name with '?' or '*' is a pattern to the search, and a name longer than
  // the 8.3 rule may be matched through its short alias: keep the exact name
  // unless the folder's spelling differs from it in letter case only.
  return dir + (EqualIgnoringCase(spelt, name) ? spelt : name);
}

std::uint32_t ProcessId() { return ::GetCurrentProcessId(); }

bool StderrIsTerminal() {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

bool DisplayAvailable() { return true; }

LocalTime Now() {
  SYSTEMTIME t{};
  ::GetLocalTime(&t);
  return LocalTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

namespace {

bool IsUsableHandle(HANDLE handle) {
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

// The program with its windows belongs to the window subsystem, which starts
// without a console: a command typed in a console writes to that console.
// Output that the starter redirected to a file or a pipe stays where it is.
void AttachToStartingConsole() {
  if (::GetConsoleWindow() != nullptr) return;
  const bool outMissing = !IsUsableHandle(::GetStdHandle(STD_OUTPUT_HANDLE));
  const bool errorMissing = !IsUsableHandle(::GetStdHandle(STD_ERROR_HANDLE));
  if (!outMissing && !errorMissing) return;
  if (!::AttachConsole(ATTACH_PARENT_PROCESS)) return;
  if (outMissing && std::freopen("CONOUT$", "w", stdout) == nullptr) return;
  if (errorMissing) std::freopen("CONOUT$", "w", stderr);
}

}  // namespace

Utf8CommandLine::Utf8CommandLine(int argc, char** argv) {
  AttachToStartingConsole();
  // argv holds the arguments in the ANSI code page of the machine, which
  // loses letters it lacks; the wide command line has them all.
  int count = 0;
  LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) {
    texts_.assign(argv, argv + argc);
  } else {
    for (int i = 0; i < count; ++i) {
      int length = ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
      std::string text(static_cast<std::size_t>(std::max(length, 1)), '\0');
      ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, text.data(), length, nullptr, nullptr);
      text.resize(text.size() - 1);  // the closing zero
      texts_.push_back(std::move(text));
    }
    ::LocalFree(wide);
  }
  for (std::string& text : texts_) pointers_.push_back(text.data());
  pointers_.push_back(nullptr);
  // Messages to the console are written as UTF-8 too.
  ::SetConsoleOutputCP(CP_UTF8);
}

LookupMemory::LookupMemory(std::size_t bytes) {
  if (bytes == 0) return;
  mapping_ = ::VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (mapping_ == nullptr) throw std::bad_alloc();
  mapped_ = bytes;
  data_ = static_cast<char*>(mapping_);
  size_ = bytes;
}

void LookupMemory::Release() {
  if (mapping_ != nullptr) ::VirtualFree(mapping_, 0, MEM_RELEASE);
}

#else
// ---- POSIX

namespace {

// Paths are Windows-1251 in memory like every text of the program; the
// file system here speaks UTF-8.
std::string Os(const std::string& path) { return AnsiToUtf8(path); }
std::string FromOs(const std::string& path) { return Utf8ToAnsi(path); }

std::filesystem::path OsPath(const std::string& path) { return std::filesystem::path(Os(path)); }

}  // namespace

namespace {

WriteFailure FailureOf(int error) {
  switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return WriteFailure::NoSpace;
    case EACCES:
    case EPERM:
      return WriteFailure::NoRight;
    case EROFS:
      return WriteFailure::ReadOnlyMedium;
    case ETXTBSY:
    case EAGAIN:
      return WriteFailure::Locked;
    default:
      return WriteFailure::Other;
  }
}

// A write that wrote nothing without an error code ran out of room.
void NoteErrno(int error) { NoteFailure(error == 0 ? WriteFailure::NoSpace : FailureOf(error)); }

OpenResult OpenFailure() {
  if (errno == ENOENT || errno == ENOTDIR) return OpenResult::NotFound;
  if (errno == EACCES || errno == EROFS || errno == EPERM) return OpenResult::AccessDenied;
  return OpenResult::Failed;
}

bool SameNode(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// A file renamed over again and again between open and lock is given up.
constexpr int kOpenAttempts = 8;

}  // namespace

// Other programs guard a file with POSIX record locks (fcntl) as often as
// with flock, and the two do not see each other. Besides its flock an open
// takes an open-file-description lock over the whole file, which conflicts
// with both kinds of record lock; where it cannot be taken (a read-only
// open asking for an exclusive lock, a test only) a conflicting one is
// looked for. A file system without such locks is not held against a file.
namespace {

bool RecordLockFree(int fd, File::Lock lock, bool take) {
#ifdef F_OFD_SETLK
  struct flock range {};
  range.l_type = lock == File::Lock::Exclusive ? F_WRLCK : F_RDLCK;
  range.l_whence = SEEK_SET;
  if (take) {
    if (::fcntl(fd, F_OFD_SETLK, &range) == 0) return true;
    return errno != EAGAIN && errno != EACCES;
  }
  if (::fcntl(fd, F_OFD_GETLK, &range) != 0) return true;
  return range.l_type == F_UNLCK;
#else
  (void)fd;
  (void)lock;
  (void)take;
  return true;
#endif
}

}  // namespace

OpenResult File::Open(const std::string& path, Mode mode, Lock lock) {
  Close();
  if (mode != Mode::Read && WriteOpenRefused(path)) return OpenResult::AccessDenied;
  // Without waiting: opening a FIFO for reading waits for a writer. The
  // file is truncated below, once it is known to be a regular file and its
  // lock is held.
  int flags = O_CLOEXEC | O_NONBLOCK;
  switch (mode) {
    case Mode::Read:
      flags |= O_RDONLY;
      break;
    case Mode::ReadWrite:
      flags |= O_RDWR;
      break;
    case Mode::CreateTruncate:
      flags |= O_RDWR | O_CREAT;
      break;
  }
  const std::string osPath = Os(path);
  for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
    int fd = ::open(osPath.c_str(), flags, 0666);
    if (fd < 0) {
      if (mode != Mode::Read) NoteErrno(errno);
      return OpenFailure();
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      const bool special = ::fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode);
      ::close(fd);
      return special ? OpenResult::NotAFile : OpenResult::Failed;
    }
    if (lock != Lock::None) {
      // flock locks belong to the open file, so two opens inside one process
      // conflict just as two programs do.
      int op = (lock == Lock::Shared ? LOCK_SH : LOCK_EX) | LOCK_NB;
      const bool canTake = lock == Lock::Shared || mode != Mode::Read;
      if (::flock(fd, op) != 0 || !RecordLockFree(fd, lock, canTake)) {
        ::close(fd);
        NoteFailure(WriteFailure::Locked);
        return OpenResult::Locked;
      }
      // Another program may have put a new file in this one's place while
      // the lock was taken; a lock on the old one would guard nothing.
      struct stat now {};
      if (::stat(osPath.c_str(), &now) != 0 || !SameNode(now, st)) {
        ::close(fd);
        continue;
      }
    }
    // A file that is empty already is left alone: on ext4 a truncation to
    // nothing makes the close write back everything written since, in the
    // closing process and at once (auto_da_alloc), a gigabyte for a big
    // output table.
    struct stat held {};
    if (mode == Mode::CreateTruncate &&
        (::fstat(fd, &held) != 0 || (held.st_size > 0 && ::ftruncate(fd, 0) != 0))) {
      ::close(fd);
      return OpenResult::Failed;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    handle_ = fd;
    path_ = path;
    return OpenResult::Ok;
  }
  return OpenResult::Failed;
}

bool File::IsOpen() const { return handle_ >= 0; }

void File::Close() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
  handle_ = -1;
  path_.clear();
}

std::size_t File::ReadAt(std::uint64_t offset, void* buffer, std::size_t length) const {
  if (ReadRefused(path_, offset, length)) return 0;
  std::size_t done = 0;
  auto* out = static_cast<char*>(buffer);
  while (done < length) {
    ssize_t n =
        ::pread(static_cast<int>(handle_), out + done, length - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

bool File::WriteAt(std::uint64_t offset, const void* buffer, std::size_t length) {
  if (WriteRefused(path_, offset, length)) return false;
  std::size_t done = 0;
  const auto* in = static_cast<const char*>(buffer);
  while (done < length) {
    errno = 0;
    ssize_t n =
        ::pwrite(static_cast<int>(handle_), in + done, length - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      NoteErrno(errno);
      return false;
    }
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

bool IsSpecialFile(const std::string& path) {
  struct stat st {};
  return ::stat(Os(path).c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  if (::stat(Os(a).c_str(), &sa) != 0 || ::stat(Os(b).c_str(), &sb) != 0) return false;
  return SameNode(sa, sb);
}

bool DirectoryExists(const std::string& path) {
  struct stat st {};
  return ::stat(Os(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

PathKind KindOf(const std::string& path) {
  struct stat st {};
  if (::lstat(Os(path).c_str(), &st) != 0) return PathKind::Missing;
  if (S_ISLNK(st.st_mode)) return PathKind::Link;
  if (S_ISDIR(st.st_mode)) return PathKind::Folder;
  return S_ISREG(st.st_mode) ? PathKind::RegularFile : PathKind::Special;
}

bool IdentityOf(const std::string& path, FileIdentity& out) {
  struct stat st {};
  if (::stat(Os(path).c_str(), &st) != 0) return false;
  out.volume = static_cast<std::uint64_t>(st.st_dev);
  out.node = static_cast<std::uint64_t>(st.st_ino);
  return true;
}

WriteAccess ProbeWrite(const std::string& path) {
  if (WriteOpenRefused(path)) return WriteAccess::ReadOnlyMedium;
  int fd = ::open(Os(path).c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) {
    if (errno == EROFS) return WriteAccess::ReadOnlyMedium;
    if (errno == EACCES || errno == EPERM) return WriteAccess::NoRight;
    return errno == ETXTBSY ? WriteAccess::Locked : WriteAccess::Failed;
  }
  struct stat st {};
  bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  bool locked = regular && !RecordLockFree(fd, File::Lock::Exclusive, false);
  if (regular && !locked && ::flock(fd, LOCK_EX | LOCK_NB) != 0) locked = errno == EWOULDBLOCK;
  ::close(fd);  // lets the flock taken above go
  if (!regular) return WriteAccess::Failed;
  return locked ? WriteAccess::Locked : WriteAccess::Ok;
}

bool RemoveFile(const std::string& path) { return ::unlink(Os(path).c_str()) == 0; }

bool ReplaceFile(const std::string& from, const std::string& to) {
  const PathKind target = KindOf(to);
  if (target != PathKind::Missing && target != PathKind::RegularFile) {
    errno = EEXIST;
    return false;
  }
  if (::rename(Os(from).c_str(), Os(to).c_str()) == 0) return true;
  NoteErrno(errno);
  return false;
}

bool AppendToFile(const std::string& path, const std::string& bytes) {
  // A FIFO without a reader fails at once instead of waiting for one; with
  // one it is refused below, like any file that is not a regular one.
  int fd = ::open(Os(path).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0) {
    NoteErrno(errno);
    return false;
  }
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (ok) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  if (WriteRefused(path, 0, bytes.size())) ok = false;
  std::size_t done = 0;
  while (ok && done < bytes.size()) {
    errno = 0;
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      NoteErrno(errno);
      ok = false;
    } else
      done += static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0) ok = false;
  return ok;
}

char PathSeparator() { return '/'; }

bool IsPathSeparator(char c) { return c == '/'; }

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

std::uint32_t ProcessId() { return static_cast<std::uint32_t>(::getpid()); }

bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

bool DisplayAvailable() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

LocalTime Now() {
  struct timeval tv {};
  ::gettimeofday(&tv, nullptr);
  std::tm tm{};
  time_t seconds = tv.tv_sec;
  ::localtime_r(&seconds, &tm);
  return LocalTime{tm.tm_year + 1900,
                   tm.tm_mon + 1,
                   tm.tm_mday,
                   tm.tm_hour,
                   tm.tm_min,
                   tm.tm_sec,
                   static_cast<int>(tv.tv_usec / 1000)};
}

Utf8CommandLine::Utf8CommandLine(int argc, char** argv) : texts_(argv, argv + argc) {
  for (std::string& text : texts_) pointers_.push_back(text.data());
  pointers_.push_back(nullptr);
}

LookupMemory::LookupMemory(std::size_t bytes) {
  if (bytes == 0) return;
  // Huge pages are 2 MiB here: the block starts on such a boundary.
  constexpr std::size_t kHugePage = std::size_t{2} << 20;
  mapped_ = (bytes + kHugePage - 1) / kHugePage * kHugePage + kHugePage;
  mapping_ = ::mmap(nullptr, mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapping_ == MAP_FAILED) {
    mapping_ = nullptr;
    throw std::bad_alloc();
  }
  const auto start = reinterpret_cast<std::uintptr_t>(mapping_);
  data_ = reinterpret_cast<char*>((start + kHugePage - 1) / kHugePage * kHugePage);
  size_ = bytes;
#ifdef MADV_HUGEPAGE
  // Only advice: without it the memory is the same, in small pages.
  ::madvise(data_, mapped_ - static_cast<std::size_t>(data_ - static_cast<char*>(mapping_)), MADV_HUGEPAGE);
#endif
}

void LookupMemory::Release() {
  if (mapping_ != nullptr) ::munmap(mapping_, mapped_);
}

#endif

LookupMemory::~LookupMemory() { Release(); }

LookupMemory::LookupMemory(LookupMemory&& other) noexcept { *this = std::move(other); }

LookupMemory& LookupMemory::operator=(LookupMemory&& other) noexcept {
  if (this != &other) {
    Release();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    mapping_ = std::exchange(other.mapping_, nullptr);
    mapped_ = std::exchange(other.mapped_, 0);
  }
  return *this;
}

}  // namespace velt::platform
