#include "support/keyboard_layouts.h"

#include <gtest/gtest.h>

#include <set>

namespace velt {
namespace {

TEST(KeyboardLayoutsTest, EveryRussianLetterHasAKeyOfItsOwnAndBack) {
  std::set<char32_t> keys;
  for (char32_t letter : std::u32string(U"АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ")) {
    const char32_t key = LatinKeyOfCyrillic(letter);
    EXPECT_TRUE(key != 0 && keys.insert(key).second) << static_cast<unsigned>(letter);
    EXPECT_EQ(CyrillicOnLatinKey(key), letter);
  }
}

TEST(KeyboardLayoutsTest, KeysAsOperatorsPressThemInEitherLayout) {
  EXPECT_EQ(MnemonicLetterOfKey(U'B'), U'И');
  EXPECT_EQ(MnemonicLetterOfKey(U'b'), U'И');
  EXPECT_EQ(MnemonicLetterOfKey(U';'), U'Ж');
  EXPECT_EQ(MnemonicLetterOfKey(U'`'), U'Ё');
  EXPECT_EQ(MnemonicLetterOfKey(U'к'), U'К');  // the Russian layout gives the letter itself
  // Digits, shifted marks and letters of other alphabets mean no mnemonic.
  for (char32_t other : {U'2', U':', U'є'}) EXPECT_EQ(MnemonicLetterOfKey(other), 0u);
}

}  // namespace
}  // namespace velt
