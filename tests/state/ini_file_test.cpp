#include "state/ini_file.h"

#include <gtest/gtest.h>

#include <string>

#include "support/error.h"
#include "support/platform.h"
#include "support_files/temp_dir.h"

namespace velt {
namespace {

using testing::A;
using testing::TempDir;

std::string Contents(const std::string& path) {
  std::string bytes;
  platform::ReadWholeFile(path, bytes);
  return bytes;
}

void Put(const std::string& path, const std::string& bytes) {
  ASSERT_TRUE(platform::WriteWholeFile(path, bytes));
}

// Restores the platform's fault hooks when a test ends.
struct HookGuard {
  ~HookGuard() { platform::SetFaultHooks({}); }
};

TEST(IniFileTest, ReadsAsTheProfileFunctionsDo) {
  TempDir dir;
  std::string path = dir.File("a.ini");
  Put(path,
      "orphan=before any section\r\n"
      "[Velt_Conv]\r\n"
      "  velt_FILE  =   C:\\in\\F0012401.DBF   \r\n"
      "; comment=not a key\r\n"
      "Double=\"quoted\"\r\n"
      "Single='quoted'\r\n"
      "Inner=\"\"twice\"\"\r\n"
      "Half=\"open\r\n"
      "Mixed=\"mixed'\r\n"
      "Lone=\"\r\n"
      "Empty=\r\n"
      "Dup=first\r\n"
      "Dup=second\r\n"
      "Cyr=" +
          A("Не выбран каталог") +
          "\n"  // a lone LF ends a line as well
          "[velt_conv]\r\n"
          "Later=second section of the same name\r\n");
  IniFile ini(path);
  EXPECT_EQ(ini.ReadString("VELT_CONV", "velt_file", "-"), "C:\\in\\F0012401.DBF");
  EXPECT_EQ(ini.ReadString("VELT_CONV", "Double", "-"), "quoted");
  EXPECT_EQ(ini.ReadString("VELT_CONV", "Single", "-"), "quoted");
  EXPECT_EQ(ini.ReadString("VELT_CONV", "Inner", "-"), "\"twice\"");
  EXPECT_EQ(ini.ReadString("VELT_CONV", "Half", "-"), "\"open");
  EXPECT_EQ(ini.ReadString("VELT_CONV", "Mixed", "-"), "\"mixed'");
  EXPECT_EQ(ini.ReadString("VELT_CONV", "Lone", "-"), "\"");
  EXPECT_EQ(ini.ReadString("VELT_CONV", "Empty", "-"), "");
  EXPECT_EQ(ini.ReadString("VELT_CONV", "Dup", "-"), "first");
  EXPECT_EQ(ini.ReadString("VELT_CONV", "Cyr", "-"), A("Не выбран каталог"));
  EXPECT_EQ(ini.ReadString("VELT_CONV", "; comment", "-"), "-");
  EXPECT_EQ(ini.ReadString("VELT_CONV", "Later", "-"), "-");
  EXPECT_EQ(ini.ReadString("VELT_CONV", "orphan", "-"), "-");
  EXPECT_EQ(ini.ReadString("Other", "Double", "-"), "-");
  EXPECT_TRUE(ini.SectionExists("velt_CONV"));
  EXPECT_FALSE(ini.SectionExists("VELT"));
}

TEST(IniFileTest, ReadIntegerAndValueLength) {
  TempDir dir;
  std::string path = dir.File("a.ini");
  Put(path, "[S]\r\nDec=-12\r\nHex=0x1F\r\nDollar=$10\r\nBad=12a\r\nLong=" + std::string(3000, 'x') +
                "\r\nLongQuoted=\"" + std::string(3000, 'y') + "\"\r\n");
  IniFile ini(path);
  EXPECT_EQ(ini.ReadInteger("S", "Dec", 7), -12);
  EXPECT_EQ(ini.ReadInteger("S", "Hex", 7), 31);
  EXPECT_EQ(ini.ReadInteger("S", "Dollar", 7), 16);
  EXPECT_EQ(ini.ReadInteger("S", "Bad", 7), 7);
  EXPECT_EQ(ini.ReadInteger("S", "Missing", 7), 7);
  EXPECT_EQ(ini.ReadString("S", "Long", ""), std::string(2047, 'x'));
  EXPECT_EQ(ini.ReadString("S", "LongQuoted", ""), std::string(2047, 'y'));
}

TEST(IniFileTest, WritesInPlaceAndKeepsEverythingElse) {
  TempDir dir;
  std::string path = dir.File("a.ini");
  Put(path,
      "; settings\r\n"
      "[Other]\r\n"
      "Keep=1\r\n"
      "\r\n"
      "[VELT_CONV]\r\n"
      "  FLAGS = 0\r\n"
      "x=y\r\n"
      "\r\n"
      "[Tail]\n"
      "Last=z\n");
  IniFile ini(path);
  ini.WriteString("velt_conv", "Flags", "2");
  ini.WriteString("VELT_CONV", "velt_file_Caption", A("Не выбран файл архива ВЕЛТ"));
  ini.WriteInteger("New", "Count", 3);
  EXPECT_EQ(Contents(path),
            "; settings\r\n"
            "[Other]\r\n"
            "Keep=1\r\n"
            "\r\n"
            "[VELT_CONV]\r\n"
            "FLAGS=2\r\n"
            "x=y\r\n"
            "velt_file_Caption=" +
                A("Не выбран файл архива ВЕЛТ") +
                "\r\n"
                "\r\n"
                "[Tail]\r\n"
                "Last=z\r\n"
                "[New]\r\n"
                "Count=3\r\n");
  EXPECT_FALSE(platform::FileExists(path + ".tmp"));
}

TEST(IniFileTest, WrittenValuesComeBackUnchanged) {
  TempDir dir;
  std::string path = dir.File("new.ini");
  const std::string values[] = {"\"C:\\dir\"", "'x'",     "\"",       "'", "''",  "\"a'",
                                " lead",       "trail\t", "  both  ", "",  "a=b", A("Ёлки \"палки\""),
                                "\"\"",        "'a\"b'"};
  {
    IniFile ini(path);  // the file does not exist yet
    for (std::size_t i = 0; i < std::size(values); ++i)
      ini.WriteString("S", "K" + std::to_string(i), values[i]);
    ini.WriteString("S", "Broken", "one\r\ntwo");
  }
  IniFile again(path);
  for (std::size_t i = 0; i < std::size(values); ++i)
    EXPECT_EQ(again.ReadString("S", "K" + std::to_string(i), "-"), values[i]) << i;
  EXPECT_EQ(again.ReadString("S", "Broken", "-"), "one  two");
  // Only the values that need it gain quotes on disk.
  std::string disk = Contents(path);
  EXPECT_NE(disk.find("K0=\"\"C:\\dir\"\"\r\n"), std::string::npos);
  EXPECT_NE(disk.find("K5=\"a'\r\n"), std::string::npos);
  EXPECT_NE(disk.find("K6=\" lead\"\r\n"), std::string::npos);
  EXPECT_NE(disk.find("K9=\r\n"), std::string::npos);
}

TEST(IniFileTest, EraseSectionRemovesEveryCopyWithItsLines) {
  TempDir dir;
  std::string path = dir.File("a.ini");
  Put(path,
      "[VELT_CONV]\r\nA=1\r\n"
      "[VELT_CONV.FileListBox_Items]\r\nCount=2\r\nItem0=a\r\n; note\r\nItem1=b\r\n"
      "[velt_conv.filelistbox_items]\r\nItem5=c\r\n"
      "[After]\r\nB=2\r\n");
  IniFile ini(path);
  ini.EraseSection("VELT_CONV.FileListBox_Items");
  EXPECT_EQ(Contents(path), "[VELT_CONV]\r\nA=1\r\n[After]\r\nB=2\r\n");
  ini.EraseSection("Absent");
  EXPECT_EQ(Contents(path), "[VELT_CONV]\r\nA=1\r\n[After]\r\nB=2\r\n");
}

TEST(IniFileTest, AFailedWriteRaisesAndLeavesTheFile) {
  TempDir dir;
  HookGuard guard;
  std::string missingDir = dir.File("no/such/dir/a.ini");
  IniFile nowhere(missingDir);
  try {
    nowhere.WriteString("S", "K", "v");
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()).rfind(A("Не удалось сохранить настройки в файл ") + missingDir + "\n", 0),
              0u);
  }

  std::string path = dir.File("a.ini");
  Put(path, "[S]\r\nK=old\r\n");
  IniFile ini(path);
  platform::FaultHooks failingWrites;
  failingWrites.writeFault = [](const std::string&, std::uint64_t, std::size_t) { return true; };
  platform::SetFaultHooks(failingWrites);
  EXPECT_THROW(ini.WriteString("S", "K", "new"), Error);
  EXPECT_THROW(ini.EraseSection("S"), Error);
  platform::FaultHooks readOnly;
  readOnly.denyWriteOpen = [&](const std::string& p) { return p == path; };
  platform::SetFaultHooks(readOnly);
  EXPECT_THROW(ini.WriteString("S", "K", "new"), Error);  // a read-only file
  EXPECT_EQ(Contents(path), "[S]\r\nK=old\r\n");
  EXPECT_FALSE(platform::FileExists(path + ".tmp"));
}

}  // namespace
}  // namespace velt
