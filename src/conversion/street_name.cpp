// Street-name normalisation of the address group. The name arrives
// upper-cased, so every removal below may compare exactly: upper-casing is
// idempotent, and the patterns are capitals, blanks, points and hyphens.
#include "conversion/street_name.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "support/char_set.h"
#include "support/code_page.h"

namespace velt {
namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

// A street-type word with the four spellings in which it is recognised, in
// the order in which they are tried: the last one found decides what is
// removed.
struct StreetTypeWord {
  std::string word;
  std::array<std::string, 4> forms;
};

std::array<StreetTypeWord, 6> MakeStreetTypeWords() {
  // "ПР" comes before "ПРОСПЕКТ", so "ПРОСПЕКТ" wins when both are there.
  const char* words[] = {"УЛ", "ПЕР", "ПР-КТ", "ПР-Т", "ПР", "ПРОСПЕКТ"};
  std::array<StreetTypeWord, 6> result;
  for (int i = 0; i < 6; ++i) {
    std::string w = Utf8ToAnsi(words[i]);
    result[i] = {w, {w + " ", w + ".", " " + w, "." + w}};
  }
  return result;
}

const std::array<StreetTypeWord, 6>& StreetTypeWords() {
  static const std::array<StreetTypeWord, 6> words = MakeStreetTypeWords();
  return words;
}

// 1-based position of the first occurrence, 0 when absent.
int Position(std::string_view text, std::string_view part) {
  std::size_t at = text.find(part);
  return at == std::string_view::npos ? 0 : static_cast<int>(at) + 1;
}

// Takes the street-type word out of the name; the last word of the list
// that is found gives the type.
std::string_view TakeStreetType(std::string& name) {
  const std::array<StreetTypeWord, 6>& words = StreetTypeWords();
  std::string_view type = words[0].word;  // УЛ when the name carries none
  // A word whose first letter the name lacks is not in it, and removing
  // parts of the name never brings a letter in: most names are passed over
  // by two scans.
  const bool hasU = name.find(words[0].word.front()) != std::string::npos;
  const bool hasP = name.find(words[1].word.front()) != std::string::npos;
  for (const StreetTypeWord& w : words) {
    if (!(w.word.front() == words[0].word.front() ? hasU : hasP)) continue;
    // Each spelling is the word with a blank or a point after or before it,
    // so the places of the word tell which spellings the name holds.
    int spelling = -1;  // the last of the list that the name holds
    for (std::size_t at = name.find(w.word); at != std::string::npos; at = name.find(w.word, at + 1)) {
      const std::size_t end = at + w.word.size();
      const char after = end < name.size() ? name[end] : '\0';
      const char before = at > 0 ? name[at - 1] : '\0';
      if (after == ' ') spelling = std::max(spelling, 0);
      if (after == '.') spelling = std::max(spelling, 1);
      if (before == ' ') spelling = std::max(spelling, 2);
      if (before == '.') spelling = std::max(spelling, 3);
    }
    if (spelling < 0) continue;
    type = w.word;
    RemoveEvery(name, w.forms[static_cast<std::size_t>(spelling)]);
    TrimInPlace(name);
  }
  return type;
}

// An ordinal in front of the name ("1-Я ПОЛЕВАЯ") goes behind it
// ("ПОЛЕВАЯ 1-Я"), which is how the street reference spells such streets.
// The sum of both positions is the rule as the stations' data expects it.
void MoveOrdinalBehind(std::string& name) {
  int p = Position(name, VELT_ANSI("-Я")) + Position(name, VELT_ANSI("-Й"));
  if (p < 1 || p > 4) return;
  std::size_t ordinalLength = std::min<std::size_t>(p + 1, name.size());
  std::string ordinal(name, 0, ordinalLength);
  name.erase(0, std::min<std::size_t>(p + 2, name.size()));  // the ordinal and the blank after it
  name += ' ';
  name += ordinal;
}

}  // namespace

void RemoveEvery(std::string& text, std::string_view pattern) {
  if (pattern.empty()) return;
  std::size_t found = text.find(pattern);
  if (found == std::string::npos) return;
  // Occurrences are looked for in the text as it was: what lies behind the
  // write position is never searched again.
  std::size_t write = found;
  while (found != std::string::npos) {
    const std::size_t read = found + pattern.size();
    found = text.find(pattern, read);
    const std::size_t end = found == std::string::npos ? text.size() : found;
    std::memmove(text.data() + write, text.data() + read, end - read);
    write += end - read;
  }
  text.resize(write);
}

void TrimLeftInPlace(std::string& text) {
  std::size_t start = 0;
  while (start < text.size() && IsBlank(text[start])) ++start;
  text.erase(0, start);
}

void TrimInPlace(std::string& text) {
  std::size_t end = text.size();
  while (end > 0 && IsBlank(text[end - 1])) --end;
  text.resize(end);
  TrimLeftInPlace(text);
}

std::string_view NormaliseStreetName(std::string& name) {
  std::string_view type = TakeStreetType(name);
  RemoveEvery(name, VELT_ANSI("УЛ."));
  RemoveEvery(name, VELT_ANSI("ПР."));
  TrimLeftInPlace(name);
  MoveOrdinalBehind(name);
  std::erase_if(name, [](char c) { return StreetJunkChars.Contains(c); });
  if (!name.empty() && name.front() == '.') name.erase(0, 1);
  TrimInPlace(name);
  return type;
}

}  // namespace velt
