#pragma once
// The Russian (ЙЦУКЕН) and the Latin (QWERTY) keyboard layouts share their
// keys: the letter "И" sits on the key of "B". An operator who presses Alt
// and a control's Cyrillic letter while the Latin layout is active means
// that control, as in Windows programs.
namespace velt {

// The upper-case Cyrillic letter on the key that types `latin` in the Latin
// layout (a letter of either case, or one of ` [ ] ; ' , .); 0 for any other
// character.
char32_t CyrillicOnLatinKey(char32_t latin);

// The Latin layout's character on the key of `cyrillic` (either case): an
// upper-case letter or the punctuation mark; 0 for a character that is no
// Russian letter.
char32_t LatinKeyOfCyrillic(char32_t cyrillic);

// `key` itself when it is a Russian letter, upper-cased; the letter on its
// key when it is a Latin one; 0 otherwise.
char32_t MnemonicLetterOfKey(char32_t key);

}  // namespace velt
