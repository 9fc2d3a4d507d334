#include "state/recent_archives.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "state/ini_file.h"
#include "support/platform.h"
#include "support_files/temp_dir.h"

namespace velt {
namespace {

using Paths = std::vector<std::string>;

TEST(RecentArchivesTest, NewestFirstOnceEachAtMostEightMissingMarked) {
  RecentArchives recent;
  for (int i = 1; i <= 10; ++i) recent.Add("/a/F" + std::to_string(i) + ".DBF");
  recent.Add("/a//F5.DBF");  // chosen again, written otherwise: moves to the front
  recent.Add("  ");
  EXPECT_EQ(recent.Paths(), (Paths{"/a//F5.DBF", "/a/F10.DBF", "/a/F9.DBF", "/a/F8.DBF", "/a/F7.DBF",
                                   "/a/F6.DBF", "/a/F4.DBF", "/a/F3.DBF"}));
  const auto exists = [](const std::string& path) { return path != "/a/F9.DBF"; };
  EXPECT_TRUE(recent.Entries(exists)[2].missing);
  EXPECT_FALSE(recent.Entries(exists)[1].missing);
  EXPECT_TRUE(recent.RemoveMissing(exists));
  EXPECT_EQ(recent.Paths().size(), 7u);
}

TEST(RecentArchivesTest, KeptInItsOwnSectionBesideTheWindowState) {
  testing::TempDir dir;
  const std::string file = dir.File("veltconv.ini");
  ASSERT_TRUE(platform::WriteWholeFile(file, "[VELT_CONV]\r\nvelt_file_Caption=C:\\a.dbf\r\n"));
  RecentArchives recent;
  recent.Add("C:\\old.dbf");
  recent.Add("C:\\new.dbf");
  IniFile ini(file);
  recent.Save(ini);
  RecentArchives read;
  read.Load(IniFile(file));
  EXPECT_EQ(read.Paths(), (Paths{"C:\\new.dbf", "C:\\old.dbf"}));
  EXPECT_EQ(IniFile(file).ReadString("VELT_CONV", "velt_file_Caption", ""), "C:\\a.dbf");
  // A removed entry leaves no key behind.
  read.Remove("C:\\old.dbf");
  read.Save(ini);
  EXPECT_EQ(IniFile(file).ReadString(RecentArchives::kSection, "Archive2", "none"), "none");
}

}  // namespace
}  // namespace velt
