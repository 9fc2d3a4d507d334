// Code pages of the program: text lives in memory as Windows-1251; tables with
// OEM translation keep it on disk as code page 866; the windows speak UTF-8.
// Each conversion goes through the Unicode meaning of the byte; a byte without
// a counterpart becomes '?'.
#include "support/code_page.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace velt {
namespace {

// Unicode code points of bytes 0x80..0xFF (0 where the code page has none).
constexpr std::array<char16_t, 128> kCp1251High = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0000, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, 0x0410,
    0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D,
    0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A,
    0x042B, 0x042C, 0x042D, 0x042E, 0x042F, 0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444,
    0x0445, 0x0446, 0x0447, 0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

constexpr std::array<char16_t, 128> kCp866High = {
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C,
    0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429,
    0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F, 0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436,
    0x0437, 0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514,
    0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C,
    0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F, 0x0401, 0x0451, 0x0404, 0x0454, 0x0407,
    0x0457, 0x040E, 0x045E, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x2116, 0x00A4, 0x25A0, 0x00A0,
};

constexpr std::array<unsigned char, 256> kUpper1251 = {
    0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F,
    0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E, 0x1F,
    0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2A, 0x2B, 0x2C, 0x2D, 0x2E, 0x2F,
    0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3A, 0x3B, 0x3C, 0x3D, 0x3E, 0x3F,
    0x40, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F,
    0x50, 0x51, 0x52, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5A, 0x5B, 0x5C, 0x5D, 0x5E, 0x5F,
    0x60, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F,
    0x50, 0x51, 0x52, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5A, 0x7B, 0x7C, 0x7D, 0x7E, 0x7F,
    0x80, 0x81, 0x82, 0x81, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8A, 0x8B, 0x8C, 0x8D, 0x8E, 0x8F,
    0x80, 0x91, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x8A, 0x9B, 0x8C, 0x8D, 0x8E, 0x8F,
    0xA0, 0xA1, 0xA1, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF,
    0xB0, 0xB1, 0xB2, 0xB2, 0xA5, 0xB5, 0xB6, 0xB7, 0xA8, 0xB9, 0xAA, 0xBB, 0xA3, 0xBD, 0xBD, 0xAF,
    0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xCB, 0xCC, 0xCD, 0xCE, 0xCF,
    0xD0, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9, 0xDA, 0xDB, 0xDC, 0xDD, 0xDE, 0xDF,
    0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xCB, 0xCC, 0xCD, 0xCE, 0xCF,
    0xD0, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9, 0xDA, 0xDB, 0xDC, 0xDD, 0xDE, 0xDF,
};

struct Tables {
  std::array<unsigned char, 256> oemToAnsi{};
  std::array<unsigned char, 256> ansiToOem{};
};

unsigned char Find(const std::array<char16_t, 128>& high, char16_t u) {
  for (int i = 0; i < 128; ++i)
    if (high[i] == u && u != 0) return static_cast<unsigned char>(0x80 + i);
  return '?';
}

const Tables& Maps() {
  static const Tables tables = [] {
    Tables t;
    for (int b = 0; b < 128; ++b) t.oemToAnsi[b] = t.ansiToOem[b] = static_cast<unsigned char>(b);
    for (int b = 128; b < 256; ++b) {
      t.oemToAnsi[b] = Find(kCp1251High, kCp866High[b - 128]);
      t.ansiToOem[b] = Find(kCp866High, kCp1251High[b - 128]);
    }
    return t;
  }();
  return tables;
}

void AppendUtf8(std::string& out, char32_t u) {
  if (u < 0x80) {
    out += static_cast<char>(u);
  } else if (u < 0x800) {
    out += static_cast<char>(0xC0 | (u >> 6));
    out += static_cast<char>(0x80 | (u & 0x3F));
  } else if (u < 0x10000) {
    out += static_cast<char>(0xE0 | (u >> 12));
    out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (u & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (u >> 18));
    out += static_cast<char>(0x80 | ((u >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (u & 0x3F));
  }
}

}  // namespace

namespace {

constexpr std::uint64_t kHighBits = 0x8080808080808080ull;

// The Cyrillic letters, nearly every byte above 0x7F in a record, lie in
// two runs that keep their order in both code pages: 866 0x80..0xAF is 1251
// 0xC0..0xEF, and 866 0xE0..0xEF is 1251 0xF0..0xFF. A letter moves by its
// run's shift; any other byte above 0x7F goes through the table.
struct LetterRun {
  unsigned char first, last;
  signed char shift;
};
struct Direction {
  const std::array<unsigned char, 256>& map;
  LetterRun low, high;
};

void TranslateBytes(char* text, std::size_t length, const unsigned char* table) {
  for (std::size_t i = 0; i < length; ++i)
    text[i] = static_cast<char>(table[static_cast<unsigned char>(text[i])]);
}

#if defined(__SSE2__)
// A run as vectors, built once per text and kept in registers: the stores
// into the text could otherwise alias the run's bytes and reload them.
struct RunVectors {
  __m128i first, span, shift;
  explicit RunVectors(const LetterRun& run)
      : first(_mm_set1_epi8(static_cast<char>(run.first))),
        span(_mm_set1_epi8(static_cast<char>(run.last - run.first))),
        shift(_mm_set1_epi8(run.shift)) {}
  __m128i Contains(__m128i bytes) const {
    const __m128i offset = _mm_sub_epi8(bytes, first);
    return _mm_cmpeq_epi8(_mm_min_epu8(offset, span), offset);
  }
};

// Sixteen bytes of ASCII and letters at once; false (nothing changed) when
// one of them is another byte above 0x7F.
bool ShiftLetters16(char* text, __m128i bytes, const RunVectors& low, const RunVectors& high) {
  const int above = _mm_movemask_epi8(bytes);
  if (above == 0) return true;
  const __m128i inLow = low.Contains(bytes), inHigh = high.Contains(bytes);
  if (_mm_movemask_epi8(_mm_or_si128(inLow, inHigh)) != above) return false;
  const __m128i shift = _mm_or_si128(_mm_and_si128(inLow, low.shift), _mm_and_si128(inHigh, high.shift));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(text), _mm_add_epi8(bytes, shift));
  return true;
}
#endif

// Bytes below 0x80 are the same in both code pages: 32 such bytes (blanks,
// digits, Latin text: most of a record) are passed over at once.
void TranslateInPlace(char* text, std::size_t length, const Direction& d) {
  const unsigned char* table = d.map.data();
  std::size_t i = 0;
#if defined(__SSE2__)
  const RunVectors low(d.low), high(d.high);
  for (; i + 32 <= length; i += 32) {
    const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
    const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i + 16));
    if (_mm_movemask_epi8(_mm_or_si128(first, second)) == 0) continue;
    if (!ShiftLetters16(text + i, first, low, high)) TranslateBytes(text + i, 16, table);
    if (!ShiftLetters16(text + i + 16, second, low, high)) TranslateBytes(text + i + 16, 16, table);
  }
#endif
  for (; i + 8 <= length; i += 8) {
    std::uint64_t word;
    std::memcpy(&word, text + i, 8);
    if (word & kHighBits) TranslateBytes(text + i, 8, table);
  }
  TranslateBytes(text + i, length - i, table);
}

}  // namespace

void OemToAnsiInPlace(char* text, std::size_t length) {
  static const Direction d{Maps().oemToAnsi, {0x80, 0xAF, 0x40}, {0xE0, 0xEF, 0x10}};
  TranslateInPlace(text, length, d);
}

void AnsiToOemInPlace(char* text, std::size_t length) {
  static const Direction d{Maps().ansiToOem, {0xC0, 0xEF, -0x40}, {0xF0, 0xFF, -0x10}};
  TranslateInPlace(text, length, d);
}

std::string OemToAnsi(std::string_view text) {
  std::string out(text);
  OemToAnsiInPlace(out.data(), out.size());
  return out;
}

std::string AnsiToOem(std::string_view text) {
  std::string out(text);
  AnsiToOemInPlace(out.data(), out.size());
  return out;
}

std::string AnsiToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (char c : text) {
    auto b = static_cast<unsigned char>(c);
    char32_t u = b < 0x80 ? b : kCp1251High[b - 0x80];
    AppendUtf8(out, u == 0 ? U'?' : u);
  }
  return out;
}

std::string Utf8ToAnsi(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    auto b = static_cast<unsigned char>(text[i]);
    char32_t u = 0;
    int extra = 0;
    if (b < 0x80) {
      u = b;
    } else if ((b & 0xE0) == 0xC0) {
      u = b & 0x1F;
      extra = 1;
    } else if ((b & 0xF0) == 0xE0) {
      u = b & 0x0F;
      extra = 2;
    } else if ((b & 0xF8) == 0xF0) {
      u = b & 0x07;
      extra = 3;
    } else {
      out += '?';
      ++i;
      continue;
    }
    bool ok = true;
    for (int k = 1; k <= extra; ++k) {
      if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      u = (u << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    }
    // An overlong form is no character (it could hide a NUL or a '/').
    static constexpr char32_t kSmallest[4] = {0, 0x80, 0x800, 0x10000};
    if (ok && u < kSmallest[extra]) ok = false;
    if (!ok) {
      out += '?';
      ++i;
      continue;
    }
    i += extra + 1;
    if (u < 0x80) {
      out += static_cast<char>(u);
      continue;
    }
    out += static_cast<char>(Find(kCp1251High, static_cast<char16_t>(u > 0xFFFF ? 0 : u)));
  }
  return out;
}

char UpperChar(char c) { return static_cast<char>(kUpper1251[static_cast<unsigned char>(c)]); }

void UpperCaseInto(std::string_view text, char* out) {
  for (std::size_t i = 0; i < text.size(); ++i)
    out[i] = static_cast<char>(kUpper1251[static_cast<unsigned char>(text[i])]);
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return UpperChar(x) == UpperChar(y); });
}

std::string UpperCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = UpperChar(c);
  return out;
}

}  // namespace velt
