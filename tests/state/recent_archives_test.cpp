#include "state/recent_archives.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "state/ini_file.h"
#include "support/platform.h"
#include "support_files/temp_dir.h"

namespace velt {
namespace {

using Paths = std::vector<std::string>;

TEST(RecentArchivesTest, NewestFirstOnceEachAndAtMostEight) {
  RecentArchives recent;
  for (int i = 1; i <= 10; ++i) recent.Add("/a/F12324" + std::to_string(i) + ".DBF");
  ASSERT_EQ(recent.Paths().size(), RecentArchives::kLimit);
  EXPECT_EQ(recent.Paths().front(), "/a/F1232410.DBF");
  EXPECT_EQ(recent.Paths().back(), "/a/F123243.DBF");
  // Choosing an older one again moves it to the front instead of adding it,
  // also when written with doubled separators.
  recent.Add("/a//F123245.DBF");
  EXPECT_EQ(recent.Paths().size(), RecentArchives::kLimit);
  EXPECT_EQ(recent.Paths().front(), "/a//F123245.DBF");
  EXPECT_EQ(std::count(recent.Paths().begin(), recent.Paths().end(), "/a/F123245.DBF"), 0);
  recent.Add("  ");
  EXPECT_EQ(recent.Paths().front(), "/a//F123245.DBF");
}

TEST(RecentArchivesTest, MissingFilesAreMarkedAndRemovable) {
  RecentArchives recent;
  for (const char* path : {"/x/gone.dbf", "/x/here.dbf", "/x/also-gone.dbf"}) recent.Add(path);
  const std::set<std::string> present = {"/x/here.dbf"};
  const auto exists = [&present](const std::string& path) { return present.count(path) > 0; };
  const auto entries = recent.Entries(exists);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_TRUE(entries[0].missing);
  EXPECT_FALSE(entries[1].missing);
  EXPECT_TRUE(recent.RemoveMissing(exists));
  EXPECT_EQ(recent.Paths(), Paths{"/x/here.dbf"});
  EXPECT_FALSE(recent.RemoveMissing(exists));
  recent.Remove("/x/here.dbf");
  EXPECT_TRUE(recent.Paths().empty());
}

TEST(RecentArchivesTest, KeptInItsOwnSectionBesideTheWindowState) {
  testing::TempDir dir;
  const std::string file = dir.File("veltconv.ini");
  ASSERT_TRUE(platform::WriteWholeFile(file, "[VELT_CONV]\r\nvelt_file_Caption=C:\\a.dbf\r\n"));
  RecentArchives recent;
  recent.Add("C:\\old.dbf");
  recent.Add("C:\\new.dbf");
  {
    IniFile ini(file);
    recent.Save(ini);
  }
  IniFile ini(file);
  EXPECT_EQ(ini.ReadString("VELT_CONV", "velt_file_Caption", ""), "C:\\a.dbf");
  EXPECT_EQ(ini.ReadString(RecentArchives::kSection, "Archive1", ""), "C:\\new.dbf");
  RecentArchives read;
  read.Load(ini);
  EXPECT_EQ(read.Paths(), (Paths{"C:\\new.dbf", "C:\\old.dbf"}));
  // A removed entry leaves no key behind.
  read.Remove("C:\\old.dbf");
  read.Save(ini);
  EXPECT_EQ(IniFile(file).ReadString(RecentArchives::kSection, "Archive2", "none"), "none");
}

}  // namespace
}  // namespace velt
