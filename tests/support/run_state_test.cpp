#include "support/run_state.h"

#include <gtest/gtest.h>

#include "support/platform.h"
#include "support_files/temp_dir.h"

namespace velt {
namespace {

TEST(DerivePaths, JoinsTheProgramFolderPlainly) {
  RunState state;
  const std::string s(1, platform::PathSeparator());  // "/", or "\" on Windows
  DerivePaths(state, "/opt/prog", "velt.conv");
  EXPECT_EQ(state.appDir, "/opt/prog" + s);
  EXPECT_EQ(state.exeBaseName, "velt");  // the name before its first "."
  // Plain concatenations: the doubled separator is harmless.
  EXPECT_EQ(state.logFilePath, "/opt/prog" + s + s + "velt.log");
  EXPECT_EQ(state.mappingDirPath, "/opt/prog" + s + s + "dirstrans");
  EXPECT_EQ(state.indexDirPath, "/opt/prog" + s + s + "indexes");
  EXPECT_EQ(state.pavkDirPath, "/opt/prog" + s + s + "pavkdirs");

  DerivePaths(state, "/opt/prog/", "/opt/prog/veltconv");
  EXPECT_EQ(state.appDir, "/opt/prog/");
  EXPECT_EQ(state.exeBaseName, "veltconv");
  EXPECT_EQ(state.logFilePath, "/opt/prog/" + s + "veltconv.log");

  DerivePaths(state, "/opt/prog", "velt.conv.exe");
  EXPECT_EQ(state.exeBaseName, "velt");
  EXPECT_EQ(state.logFilePath, "/opt/prog" + s + s + "velt.log");
}

TEST(ProgramFile, FindsTheNameInAnyLetterCase) {
  testing::TempDir dir;
  ASSERT_TRUE(platform::WriteWholeFile(dir.File("PAVK_VALUES.DBF"), ""));
  ASSERT_TRUE(platform::WriteWholeFile(dir.File("city.dbf"), ""));
  EXPECT_EQ(ProgramFile(dir.Path(), "PAVK_VALUES.dbf"), dir.File("PAVK_VALUES.DBF"));
  EXPECT_EQ(ProgramFile(dir.Path(), "city.dbf"), dir.File("city.dbf"));
  EXPECT_EQ(ProgramFile(dir.Path(), "CITY.DBF"), dir.File("city.dbf"));
  // A missing file gives its exact name, ready to be created.
  EXPECT_EQ(ProgramFile(dir.Path(), "tr_vid.dbf"), dir.File("tr_vid.dbf"));
  // A folder without its trailing separator.
  std::string bare = dir.Path();
  bare.pop_back();
  EXPECT_EQ(ProgramFile(bare, "Pavk_Values.dbf"), bare + platform::PathSeparator() + "PAVK_VALUES.DBF");
}

}  // namespace
}  // namespace velt
