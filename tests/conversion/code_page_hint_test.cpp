// The warning when the archive's header names the other code page.
#include "conversion/code_page_hint.h"

#include <gtest/gtest.h>

#include "support_files/temp_dir.h"
#include "table/table.h"

namespace velt::testing {
namespace {

TEST(CodePageHintTest, HeaderContradictingTheChoiceWarnsOtherwiseNothing) {
  EXPECT_TRUE(CodePageHint(0xC9, "OEM").has_value());   // 1251 archive read as 866
  EXPECT_TRUE(CodePageHint(0x65, "ANSI").has_value());  // 866 archive read as 1251
  EXPECT_TRUE(CodePageHint(0x26, "ANSI").has_value());
  EXPECT_NE(*CodePageHint(0xC9, "OEM"), *CodePageHint(0x65, "ANSI"));

  EXPECT_FALSE(CodePageHint(0xC9, "ANSI").has_value());
  EXPECT_FALSE(CodePageHint(0x65, "OEM").has_value());
  EXPECT_FALSE(CodePageHint(0x26, "OEM").has_value());
  for (std::uint8_t unknown : {0x00, 0x57, 0x03, 0xFF}) {
    EXPECT_FALSE(CodePageHint(unknown, "OEM").has_value()) << int(unknown);
    EXPECT_FALSE(CodePageHint(unknown, "ANSI").has_value()) << int(unknown);
  }
}

TEST(CodePageHintTest, ReadsTheMarkOfAnArchiveFile) {
  TempDir dir;
  const std::string path = dir.File("F1232401.DBF");
  Table table;
  table.SetOEMTranslate(true);  // created tables carry the 866 mark
  table.CreateNew(path, 2, 1);
  table.CreateField("POVD", "C", 5, 0);
  table.CreateExec();

  EXPECT_TRUE(CodePageHintForFile(path, "ANSI").has_value());
  EXPECT_FALSE(CodePageHintForFile(path, "OEM").has_value());
  EXPECT_FALSE(CodePageHintForFile(dir.File("missing.dbf"), "ANSI").has_value());
}

}  // namespace
}  // namespace velt::testing
