#include "support/keyboard_layouts.h"

#include <gtest/gtest.h>

#include <set>

namespace velt {
namespace {

TEST(KeyboardLayoutsTest, EveryRussianLetterHasOneKeyAndBack) {
  std::set<char32_t> keys;
  const std::u32string letters = U"АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ";
  for (char32_t letter : letters) {
    const char32_t key = LatinKeyOfCyrillic(letter);
    ASSERT_NE(key, 0u) << static_cast<unsigned>(letter);
    EXPECT_TRUE(keys.insert(key).second) << "two letters on one key";
    EXPECT_EQ(CyrillicOnLatinKey(key), letter);
  }
  EXPECT_EQ(keys.size(), 33u);
}

TEST(KeyboardLayoutsTest, KeysAsOperatorsPressThem) {
  EXPECT_EQ(CyrillicOnLatinKey(U'B'), U'И');
  EXPECT_EQ(CyrillicOnLatinKey(U'b'), U'И');  // Latin letter case does not matter
  EXPECT_EQ(CyrillicOnLatinKey(U';'), U'Ж');
  EXPECT_EQ(CyrillicOnLatinKey(U'`'), U'Ё');
  EXPECT_EQ(CyrillicOnLatinKey(U'.'), U'Ю');
  EXPECT_EQ(LatinKeyOfCyrillic(U'ж'), U';');
  EXPECT_EQ(LatinKeyOfCyrillic(U'ё'), U'`');
  // Digits and shifted marks lie outside the letters' keys.
  EXPECT_EQ(CyrillicOnLatinKey(U'2'), 0u);
  EXPECT_EQ(CyrillicOnLatinKey(U':'), 0u);
  EXPECT_EQ(LatinKeyOfCyrillic(U'Q'), 0u);
}

TEST(KeyboardLayoutsTest, MnemonicLetterFromEitherLayout) {
  EXPECT_EQ(MnemonicLetterOfKey(U'к'), U'К');
  EXPECT_EQ(MnemonicLetterOfKey(U'Ж'), U'Ж');
  EXPECT_EQ(MnemonicLetterOfKey(U'R'), U'К');
  EXPECT_EQ(MnemonicLetterOfKey(U'2'), 0u);
  EXPECT_EQ(MnemonicLetterOfKey(U'є'), 0u);  // a Ukrainian letter has no Russian key
}

}  // namespace
}  // namespace velt
