#include "support/event_log.h"

#include <gtest/gtest.h>

#include <regex>

#include "support/error.h"
#include "support/platform.h"
#include "support_files/temp_dir.h"

namespace velt {
namespace {

using testing::A;

std::string ReadAll(const std::string& path) {
  std::string bytes;
  EXPECT_TRUE(platform::ReadWholeFile(path, bytes)) << path;
  return bytes;
}

TEST(FormatStamp, WritesTwoDigitPartsAndCopiesTheRest) {
  const platform::LocalTime morning{2018, 3, 5, 9, 7, 3, 999};
  EXPECT_EQ(FormatStamp(kStampPattern, morning), "05.03.2018, 09:07:03. ");
  const platform::LocalTime evening{2018, 11, 27, 23, 59, 0, 0};
  EXPECT_EQ(FormatStamp(kStampPattern, evening), "27.11.2018, 23:59:00. ");
  EXPECT_EQ(FormatStamp("yyyy-mm-dd hh:nn", morning), "2018-03-05 09:07");
  EXPECT_EQ(FormatStamp("[x]", morning), "[x]");
  EXPECT_EQ(FormatStamp("", morning), "");
  const platform::LocalTime early{987, 1, 2, 0, 0, 0, 0};
  EXPECT_EQ(FormatStamp("yyyy", early), "0987");
}

TEST(AddToLog, CreatesTheFileThenAppendsStampedLinesInCp1251) {
  testing::TempDir dir;
  const std::string path = dir.File("velt.log");
  ASSERT_FALSE(platform::FileExists(path));

  const std::string first = A("Приложение velt запущено.");
  AddToLog(path, first, true, kStampPattern);
  ASSERT_TRUE(platform::FileExists(path));
  const std::string once = ReadAll(path);

  // "dd.mm.yyyy, hh:nn:ss. " then the message in 1251 bytes and CR LF.
  const std::regex stamp(R"(^\d\d\.\d\d\.\d{4}, \d\d:\d\d:\d\d\. )");
  EXPECT_TRUE(std::regex_search(once, stamp)) << once;
  ASSERT_EQ(once.size(), 22 + first.size() + 2);
  EXPECT_EQ(once.substr(22), first + "\r\n");
  EXPECT_EQ(static_cast<unsigned char>(once[22]), 0xCF);  // П in 1251

  const std::string call = A(" Вызов №") + "1234" + A(": Неверная дата рождения.");
  AddToLog(path, call, true, kStampPattern);
  AddToLog(path, "plain", false, kStampPattern);
  const std::string all = ReadAll(path);
  ASSERT_EQ(all.substr(0, once.size()), once);
  const std::string second = all.substr(once.size());
  EXPECT_EQ(second.substr(22, call.size() + 2), call + "\r\n");
  EXPECT_EQ(second.substr(22 + call.size() + 2), "plain\r\n");
}

TEST(AddToLog, AppendsToAnExistingFileWithoutTouchingIt) {
  testing::TempDir dir;
  const std::string path = dir.File("old.log");
  ASSERT_TRUE(platform::WriteWholeFile(path, "earlier line\r\n"));
  EnsureFileExists(path);
  EXPECT_EQ(ReadAll(path), "earlier line\r\n");
  AddToLog(path, "next", false, kStampPattern);
  EXPECT_EQ(ReadAll(path), "earlier line\r\nnext\r\n");
}

TEST(AddToLog, RaisesWhenTheFileCannotBeWritten) {
  testing::TempDir dir;
  const std::string missingFolder = dir.File("no-such-folder/velt.log");
  EXPECT_THROW(AddToLog(missingFolder, "x", true, kStampPattern), Error);
  EnsureFileExists(missingFolder);  // reports nothing of its own
  EXPECT_FALSE(platform::FileExists(missingFolder));

  const std::string path = dir.File("full.log");
  platform::FaultHooks hooks;
  hooks.writeFault = [](const std::string&, std::uint64_t, std::size_t length) { return length > 0; };
  platform::SetFaultHooks(hooks);
  try {
    AddToLog(path, "lost", true, kStampPattern);
    ADD_FAILURE() << "a failed write must raise";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find(path), std::string::npos);
  }
  platform::SetFaultHooks({});
}

TEST(AddToLog, EmptyPathWritesBesideTheExecutable) {
  // The test program's file name has no extension, so ".log" is added; on
  // Windows ".log" takes the place of ".exe".
  std::string expected = platform::ExecutablePath();
  if (expected.ends_with(".exe")) expected.resize(expected.size() - 4);
  ASSERT_EQ(platform::FileNamePart(expected).find('.'), std::string::npos) << expected;
  expected += ".log";
  platform::RemoveFile(expected);
  AddToLog("", "fallback", false, kStampPattern);
  EXPECT_EQ(ReadAll(expected), "fallback\r\n");
  platform::RemoveFile(expected);
}

}  // namespace
}  // namespace velt
