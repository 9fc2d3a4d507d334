#include "support/platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support_files/temp_dir.h"

#ifdef _WIN32
#include <windows.h>
#undef ReplaceFile  // windows.h names its own
#endif

namespace velt {
namespace {

using platform::File;
using platform::OpenResult;
using testing::A;

std::string ReadAll(const std::string& path) {
  std::string bytes;
  EXPECT_TRUE(platform::ReadWholeFile(path, bytes)) << path;
  return bytes;
}

std::string ReadAll(const File& file) {
  std::string bytes(file.Size(), '\0');
  bytes.resize(file.ReadAt(0, bytes.data(), bytes.size()));
  return bytes;
}

namespace fs = std::filesystem;

// The names in a folder as UTF-8, sorted.
std::vector<std::string> Entries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    std::u8string name = entry.path().filename().u8string();
    names.emplace_back(name.begin(), name.end());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(PlatformFile, ReadsAndWritesAtOffsetsAndTruncates) {
  testing::TempDir dir;
  const std::string path = dir.File("t.dbf");
  File file;
  ASSERT_EQ(file.Open(path, File::Mode::CreateTruncate, File::Lock::None), OpenResult::Ok);
  ASSERT_TRUE(file.WriteAt(4, "tail", 4));
  ASSERT_TRUE(file.WriteAt(0, "head", 4));
  EXPECT_EQ(file.Size(), 8u);
  char buffer[8] = {};
  EXPECT_EQ(file.ReadAt(6, buffer, sizeof buffer), 2u);  // short at the end
  EXPECT_EQ(std::string(buffer, 2), "il");
  EXPECT_EQ(file.ReadAt(20, buffer, sizeof buffer), 0u);
  ASSERT_TRUE(file.Truncate(3));
  EXPECT_EQ(ReadAll(file), "hea");
  EXPECT_TRUE(file.Flush());
  file.Close();
  EXPECT_FALSE(file.IsOpen());

  ASSERT_EQ(file.Open(path, File::Mode::Read, File::Lock::None), OpenResult::Ok);
  EXPECT_FALSE(file.WriteAt(0, "x", 1));  // opened for reading only
  EXPECT_EQ(ReadAll(file), "hea");
  file.Close();
  // CreateTruncate empties an existing file.
  ASSERT_EQ(file.Open(path, File::Mode::CreateTruncate, File::Lock::None), OpenResult::Ok);
  EXPECT_EQ(file.Size(), 0u);
}

TEST(PlatformFile, OpenResultsTellMissingFilesAndFolders) {
  testing::TempDir dir;
  File file;
  EXPECT_EQ(file.Open(dir.File("none.dbf"), File::Mode::ReadWrite, File::Lock::Shared), OpenResult::NotFound);
  EXPECT_EQ(file.Open(dir.File("none") + platform::PathSeparator() + "t.dbf", File::Mode::CreateTruncate,
                      File::Lock::None),
            OpenResult::NotFound);
  // A folder is no table, and no read-only file either.
  ASSERT_TRUE(platform::CreateDirectories(dir.File("sub")));
  EXPECT_EQ(file.Open(dir.File("sub"), File::Mode::ReadWrite, File::Lock::None), OpenResult::Failed);
  EXPECT_FALSE(file.IsOpen());
}

TEST(PlatformFile, LocksConflictBetweenOpensOfOneProcessButNeverBlockTheData) {
  testing::TempDir dir;
  const std::string path = dir.File("t.dbf");
  ASSERT_TRUE(platform::WriteWholeFile(path, "0123456789"));
  File first, second, third;
  ASSERT_EQ(first.Open(path, File::Mode::ReadWrite, File::Lock::Shared), OpenResult::Ok);
  ASSERT_EQ(second.Open(path, File::Mode::ReadWrite, File::Lock::Shared), OpenResult::Ok);
  EXPECT_EQ(third.Open(path, File::Mode::ReadWrite, File::Lock::Exclusive), OpenResult::Locked);
  // Holders of shared locks write, and see each other's writes.
  ASSERT_TRUE(first.WriteAt(2, "ab", 2));
  ASSERT_TRUE(second.WriteAt(12, "cd", 2));
  EXPECT_EQ(ReadAll(second).substr(0, 4), "01ab");
  EXPECT_EQ(ReadAll(first).substr(12), "cd");
  first.Close();
  second.Close();

  ASSERT_EQ(first.Open(path, File::Mode::ReadWrite, File::Lock::Exclusive), OpenResult::Ok);
  EXPECT_EQ(second.Open(path, File::Mode::Read, File::Lock::Shared), OpenResult::Locked);
  EXPECT_EQ(second.Open(path, File::Mode::ReadWrite, File::Lock::Exclusive), OpenResult::Locked);
  ASSERT_TRUE(first.WriteAt(0, "X", 1));
  // An open without a lock still reads a table held exclusively.
  EXPECT_EQ(ReadAll(path).substr(0, 4), "X1ab");
  first.Close();
  EXPECT_EQ(second.Open(path, File::Mode::ReadWrite, File::Lock::Exclusive), OpenResult::Ok);
}

TEST(PlatformFile, AnOpenFileIsReplacedOrRemovedWhileItsHolderKeepsTheOldOne) {
  testing::TempDir dir;
  const std::string path = dir.File("t.dbf");
  ASSERT_TRUE(platform::WriteWholeFile(path, "old"));
  File holder;
  ASSERT_EQ(holder.Open(path, File::Mode::ReadWrite, File::Lock::Exclusive), OpenResult::Ok);

  ASSERT_TRUE(platform::WriteWholeFile(dir.File("t.new"), "new"));
  ASSERT_TRUE(platform::ReplaceFile(dir.File("t.new"), path));
  EXPECT_EQ(ReadAll(path), "new");
  EXPECT_EQ(ReadAll(holder), "old");
  EXPECT_FALSE(platform::FileExists(dir.File("t.new")));
  // The lock stayed with the old file.
  File fresh;
  ASSERT_EQ(fresh.Open(path, File::Mode::ReadWrite, File::Lock::Exclusive), OpenResult::Ok);

  ASSERT_TRUE(platform::RemoveFile(path));
  EXPECT_FALSE(platform::FileExists(path));
  ASSERT_TRUE(platform::WriteWholeFile(path, "newest"));
  EXPECT_EQ(ReadAll(path), "newest");
  EXPECT_EQ(ReadAll(fresh), "new");
  EXPECT_FALSE(platform::RemoveFile(dir.File("none.dbf")));

  // A folder is never replaced by a file.
  ASSERT_TRUE(platform::CreateDirectories(dir.File("sub")));
  ASSERT_TRUE(platform::WriteWholeFile(dir.File("t.new"), "x"));
  EXPECT_FALSE(platform::ReplaceFile(dir.File("t.new"), dir.File("sub")));
  EXPECT_TRUE(platform::DirectoryExists(dir.File("sub")));
  platform::RemoveFile(dir.File("t.new"));

  // Nothing set aside stays behind once the old files are closed.
  holder.Close();
  fresh.Close();
  EXPECT_EQ(Entries(dir.Path()), (std::vector<std::string>{"sub", "t.dbf"}));
}

#ifdef _WIN32
TEST(PlatformFile, AFileAnotherProgramHoldsWithoutSharing) {
  testing::TempDir dir;
  const std::string path = dir.File("t.dbf");
  ASSERT_TRUE(platform::WriteWholeFile(path, "x"));
  const std::wstring wide = fs::path(path).wstring();
  // Held by a program that lets others read only: it still opens for reading.
  HANDLE readersOnly = ::CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(readersOnly, INVALID_HANDLE_VALUE);
  File file;
  EXPECT_EQ(file.Open(path, File::Mode::ReadWrite, File::Lock::Shared), OpenResult::AccessDenied);
  EXPECT_EQ(file.Open(path, File::Mode::Read, File::Lock::Shared), OpenResult::Ok);
  file.Close();
  ::CloseHandle(readersOnly);
  // Held by a program that shares nothing.
  HANDLE alone = ::CreateFileW(wide.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(alone, INVALID_HANDLE_VALUE);
  EXPECT_EQ(file.Open(path, File::Mode::Read, File::Lock::None), OpenResult::Locked);
  ::CloseHandle(alone);
}
#endif

TEST(PlatformPaths, CyrillicNamesLettersCaseAndSpellings) {
  testing::TempDir dir;
  const std::string sep(1, platform::PathSeparator());
  // 1251 in memory, the file system's own encoding on disk.
  const std::string folder = dir.Path() + A("Архив");
  ASSERT_TRUE(platform::CreateDirectories(folder + sep + A("вложенная")));
  const std::string file = folder + sep + A("Ф1232401.dbf");
  ASSERT_TRUE(platform::WriteWholeFile(file, "x"));
  ASSERT_TRUE(platform::AppendToFile(file, "y"));
  EXPECT_EQ(Entries(fs::path(dir.Path()) / u8"Архив"),
            (std::vector<std::string>{"Ф1232401.dbf", "вложенная"}));
  EXPECT_EQ(ReadAll(file), "xy");
  EXPECT_TRUE(platform::FileExists(file));
  EXPECT_FALSE(platform::DirectoryExists(file));
  EXPECT_TRUE(platform::DirectoryExists(folder + sep));
  EXPECT_FALSE(platform::FileExists(folder));

  // One file under two spellings; two files are not one.
  EXPECT_TRUE(platform::SameFile(file, folder + sep + A("вложенная") + sep + ".." + sep + A("Ф1232401.dbf")));
  ASSERT_TRUE(platform::WriteWholeFile(folder + sep + "other.dbf", ""));
  EXPECT_FALSE(platform::SameFile(file, folder + sep + "other.dbf"));
  EXPECT_FALSE(platform::SameFile(file, folder + sep + "none.dbf"));

  // The program's own names come back as the folder spells them.
  ASSERT_TRUE(platform::WriteWholeFile(folder + sep + "City.DBF", ""));
  EXPECT_EQ(platform::ResolveIgnoringCase(folder, "city.dbf"), folder + sep + "City.DBF");
  EXPECT_EQ(platform::ResolveIgnoringCase(folder + sep, "tr_vid.dbf"), folder + sep + "tr_vid.dbf");
}

TEST(PlatformPaths, NamePartsFollowThePlatformsSeparators) {
#ifdef _WIN32
  EXPECT_EQ(platform::PathSeparator(), '\\');
  EXPECT_EQ(platform::FileNamePart("C:\\velt\\in\\F1232401.DBF"), "F1232401.DBF");
  EXPECT_EQ(platform::FileNamePart("C:F1232401.DBF"), "F1232401.DBF");  // a drive's current folder
  EXPECT_EQ(platform::FileNamePart("C:\\velt/in\\F1.DBF"), "F1.DBF");
  EXPECT_EQ(platform::DirectoryPart("C:\\velt/in\\F1.DBF"), "C:\\velt/in\\");
  EXPECT_EQ(platform::DirectoryPart("C:F1.DBF"), "C:");
  EXPECT_TRUE(platform::IsPathSeparator('/'));
#else
  EXPECT_EQ(platform::PathSeparator(), '/');
  // A backslash or a colon is a letter of the name here.
  EXPECT_EQ(platform::FileNamePart("/velt/in/a\\F1:2.DBF"), "a\\F1:2.DBF");
  EXPECT_EQ(platform::DirectoryPart("/velt/in/a\\F1.DBF"), "/velt/in/");
  EXPECT_FALSE(platform::IsPathSeparator('\\'));
#endif
  EXPECT_EQ(platform::FileNamePart("F1232401.DBF"), "F1232401.DBF");
  EXPECT_EQ(platform::DirectoryPart("F1232401.DBF"), "");
}

TEST(PlatformProcess, OwnPathAndFolder) {
  const std::string exe = platform::ExecutablePath();
  EXPECT_TRUE(platform::FileNamePart(exe).starts_with("platform_test")) << exe;
  EXPECT_TRUE(platform::FileExists(exe));
  EXPECT_TRUE(platform::DirectoryExists(platform::DirectoryPart(exe)));
  EXPECT_TRUE(platform::DirectoryExists(platform::CurrentDirectory()));
}

}  // namespace
}  // namespace velt
