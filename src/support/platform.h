#pragma once
// Every call into the operating system that the core makes lives behind this
// header (files, locks, paths, the clock). Nothing else in the core knows the
// platform it runs on. Tests may install a fault hook to simulate a failing
// write (a full disk) or a medium that refuses writing.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace velt::platform {

// NotAFile: the path names something other than a regular file (a pipe, a
// device, a socket), which is never opened: reading it could wait forever.
enum class OpenResult { Ok, NotFound, AccessDenied, Locked, NotAFile, Failed };

class File {
 public:
  enum class Mode { Read, ReadWrite, CreateTruncate };
  enum class Lock { None, Shared, Exclusive };

  File() = default;
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Takes the lock without waiting; a conflict gives OpenResult::Locked. A
  // lock is held on the file that the path names once it is taken (a file
  // renamed away meanwhile is let go and the path opened again), and
  // CreateTruncate empties the file only after its lock is held.
  OpenResult Open(const std::string& path, Mode mode, Lock lock);
  bool IsOpen() const;
  void Close();

  // Number of bytes read (short at the end of the file).
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t length) const;
  // False when the bytes could not all be written (full disk, I/O error).
  bool WriteAt(std::uint64_t offset, const void* buffer, std::size_t length);
  std::uint64_t Size() const;
  bool Truncate(std::uint64_t size);
  bool Flush();
  // Puts this open file in the place of `target` (see ReplaceFile); the file
  // stays open, with its lock, under its new name.
  bool MoveTo(const std::string& target);
  const std::string& Path() const { return path_; }

 private:
  std::intptr_t handle_ = -1;
  std::string path_;
};

// Why the last failed write, write open, rename or append of the process
// failed, for the message that reports it. A test's write fault counts as
// a full disk, its refused write open as a read-only medium.
enum class WriteFailure { None, NoSpace, NoRight, ReadOnlyMedium, Locked, Other };
WriteFailure LastWriteFailure();

bool FileExists(const std::string& path);
// True when the path names something that is neither a regular file nor a
// folder (a pipe, a device, a socket).
bool IsSpecialFile(const std::string& path);
// True when both paths name one existing file, however the paths are spelt
// (links, "..", letter case on a file system that ignores it).
bool SameFile(const std::string& a, const std::string& b);
bool DirectoryExists(const std::string& path);

// What a path names, a symbolic link at its end not followed (a shortcut's
// reparse point on Windows counts as a link).
enum class PathKind { Missing, RegularFile, Folder, Link, Special };
PathKind KindOf(const std::string& path);
// Which file a path names (links followed): device and inode here, volume
// and file index on Windows. Nothing when the path names nothing.
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t node = 0;
  bool operator==(const FileIdentity&) const = default;
};
bool IdentityOf(const std::string& path, FileIdentity& out);
// Whether an existing regular file could be written now, found without
// changing it: opened for writing (not truncated) and its locks tested.
enum class WriteAccess { Ok, NoRight, ReadOnlyMedium, Locked, Failed };
WriteAccess ProbeWrite(const std::string& path);

bool RemoveFile(const std::string& path);
// Replaces `to` by `from` in one step. A target that exists must be a
// regular file: a folder, link, pipe or device is never renamed over.
bool ReplaceFile(const std::string& from, const std::string& to);
// Appends bytes to a file, creating it when missing; false on any failure,
// a path that names no regular file among them.
bool AppendToFile(const std::string& path, const std::string& bytes);
// Whole file into `out`; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& out);
bool WriteWholeFile(const std::string& path, const std::string& bytes);
// The same through a file beside `path` that then takes its place in one
// step, so that a file already there is never left half written.
bool ReplaceWholeFile(const std::string& path, const std::string& bytes);
// A copy of `from` at `to` (created or emptied), in pieces, so that a large
// table is not held in memory whole.
bool CopyWholeFile(const std::string& from, const std::string& to);
bool CreateDirectories(const std::string& path);

// The separator of the platform ("/" here, "\" on Windows).
char PathSeparator();
bool IsPathSeparator(char c);
// The part of a path after its last separator (also ":" on Windows).
std::string FileNamePart(const std::string& path);
// The folder of a path with its trailing separator ("" when it has none).
std::string DirectoryPart(const std::string& path);
// Full path of the running executable.
std::string ExecutablePath();
std::string CurrentDirectory();
// Path of `name` inside `directory` (which may lack its trailing separator):
// the exact name when it exists, else the first entry that equals it ignoring
// letter case, else the exact name.
std::string ResolveIgnoringCase(const std::string& directory, const std::string& name);

// The program's arguments as UTF-8, ready for an argc/argv parser, with the
// console's output switched to UTF-8 too. Windows hands argv over in the
// machine's ANSI code page, which loses the letters it lacks; the wide
// command line has them all. Elsewhere argv is UTF-8 already.
class Utf8CommandLine {
 public:
  Utf8CommandLine(int argc, char** argv);
  Utf8CommandLine(const Utf8CommandLine&) = delete;
  Utf8CommandLine& operator=(const Utf8CommandLine&) = delete;
  int Count() const { return static_cast<int>(texts_.size()); }
  char** Values() { return pointers_.data(); }

 private:
  std::vector<std::string> texts_;
  std::vector<char*> pointers_;
};

// The running process's number: names of temporary files that runs of the
// program started at the same time must not share.
std::uint32_t ProcessId();
// True when standard error is a terminal (a person watches it), false for a
// file or a pipe (a script reads it).
bool StderrIsTerminal();
// False when no window can be shown: on Linux neither an X nor a Wayland
// display nor a Qt platform is named in the environment (a start over ssh,
// from cron). Windows always has its desktop.
bool DisplayAvailable();

// Zeroed memory for a large table looked up at random (the street
// directory). Where the system allows it, it comes in huge pages, so that a
// lookup that misses the cache does not also miss the address translation
// cache. Raises std::bad_alloc when there is no memory.
class LookupMemory {
 public:
  LookupMemory() = default;
  explicit LookupMemory(std::size_t bytes);
  ~LookupMemory();
  LookupMemory(LookupMemory&& other) noexcept;
  LookupMemory& operator=(LookupMemory&& other) noexcept;
  LookupMemory(const LookupMemory&) = delete;
  LookupMemory& operator=(const LookupMemory&) = delete;

  char* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  void Release();
  char* data_ = nullptr;
  std::size_t size_ = 0;
  // What was asked of the system, to be given back whole.
  void* mapping_ = nullptr;
  std::size_t mapped_ = 0;
};

struct LocalTime {
  int year, month, day, hour, minute, second, millisecond;
};
LocalTime Now();

// Test hooks. `writeFault` returns true to make a write of `length` bytes at
// `offset` of `path` fail, `readFault` a read (which then reads nothing);
// `denyWriteOpen` returns true to make a read-write open of `path` fail as a
// read-only medium would.
struct FaultHooks {
  std::function<bool(const std::string& path, std::uint64_t offset, std::size_t length)> writeFault;
  std::function<bool(const std::string& path, std::uint64_t offset, std::size_t length)> readFault;
  std::function<bool(const std::string& path)> denyWriteOpen;
};
void SetFaultHooks(FaultHooks hooks);

}  // namespace velt::platform
