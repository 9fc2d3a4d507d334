#include "conversion/output_record.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "support/char_set.h"
#include "support/code_page.h"
#include "table/dbf_value.h"

namespace velt {
namespace {

// Text fields that may carry the receiving system's separators # = | from
// the archive.
constexpr std::array<bool, kOutputFieldCount> kCleanedFields = [] {
  std::array<bool, kOutputFieldCount> cleaned{};
  for (Out field :
       {Out::SPOLIC,  Out::NUMBER,    Out::FAMILY,   Out::NAME,       Out::FATHER,    Out::DOCTYPE,
        Out::DOCSER,  Out::DOCNUM,    Out::SNILS,    Out::CITYSTREET, Out::IND_HOUSE, Out::IND_ROOM,
        Out::COD_SMO, Out::NHISTORY,  Out::TIME_BEG, Out::TIME_END,   Out::COD_MKB0,  Out::COD_MKB,
        Out::SP_TIME, Out::OKATO_OMS, Out::SMO_NAM,  Out::FILE_TYPE,  Out::DOCTOR})
    cleaned[static_cast<int>(field)] = true;
  return cleaned;
}();

// FieldJunkChars as a table.
const std::array<bool, 256> kJunk = [] {
  std::array<bool, 256> junk{};
  for (int c = 0; c < 256; ++c)
    junk[static_cast<std::size_t>(c)] = FieldJunkChars.Contains(static_cast<unsigned char>(c));
  return junk;
}();

constexpr std::uint64_t kOnes = 0x0101010101010101ull;

std::uint64_t Word(const char* bytes) {
  std::uint64_t word;
  std::memcpy(&word, bytes, 8);
  return word;
}

// Whether a word holds a byte of kFieldJunk: the classic test for a zero
// byte after an exclusive or, exact as a yes or no.
bool JunkIn(std::uint64_t word) {
  static_assert(kFieldJunk.size() == 3);
  const auto zeroIn = [](std::uint64_t x) { return ((x - kOnes) & ~x & (kOnes << 7)) != 0; };
  return zeroIn(word ^ (kOnes * static_cast<unsigned char>(kFieldJunk[0]))) ||
         zeroIn(word ^ (kOnes * static_cast<unsigned char>(kFieldJunk[1]))) ||
         zeroIn(word ^ (kOnes * static_cast<unsigned char>(kFieldJunk[2])));
}

// Whether the value holds a byte of FieldJunkChars. The value is looked at
// where it came from, not in the record just written: reading back bytes
// stored a moment ago in smaller pieces stalls the processor.
bool HasJunk(const char* text, std::size_t length) {
  if (length < 8) {
    bool any = false;
    for (std::size_t i = 0; i < length; ++i) any |= kJunk[static_cast<unsigned char>(text[i])];
    return any;
  }
  std::size_t i = 0;
  for (; i + 8 < length; i += 8)
    if (JunkIn(Word(text + i))) return true;
  return JunkIn(Word(text + length - 8));  // the last eight, which may overlap
}

// Copies a few bytes without a call: the values of the record are short.
void CopySmall(char* to, const char* from, std::size_t n) {
  if (n >= 8) {
    if (n > 16) {
      std::memcpy(to, from, n);
      return;
    }
    std::uint64_t head, tail;
    std::memcpy(&head, from, 8);
    std::memcpy(&tail, from + n - 8, 8);
    std::memcpy(to, &head, 8);
    std::memcpy(to + n - 8, &tail, 8);
    return;
  }
  for (std::size_t i = 0; i < n; ++i) to[i] = from[i];
}

std::size_t WidthOf(Out field) {
  return static_cast<std::size_t>(kOutputLayout[static_cast<int>(field)].width);
}

}  // namespace

void OutputRecord::Overflow(Out field, bool on) {
  const auto bit = static_cast<unsigned>(field);
  const std::uint64_t mask = std::uint64_t{1} << (bit % 64);
  if (on)
    overflow_[bit / 64] |= mask;
  else
    overflow_[bit / 64] &= ~mask;
}

void OutputRecord::Overflow(Out field, bool on, double value) {
  if (on) overflowValues_[static_cast<std::size_t>(field)] = value;
  Overflow(field, on);
}

std::string OutputRecord::OutOfBoundsText() const {
  for (int i = 0; i < kOutputFieldCount; ++i) {
    const Out field = static_cast<Out>(i);
    if (!OutOfBoundsAt(field)) continue;
    const OutputField& f = kOutputLayout[static_cast<std::size_t>(i)];
    std::string shape = std::string(1, f.type) + " " + std::to_string(f.width);
    if (f.decimals > 0) shape += "," + std::to_string(f.decimals);
    if (f.type == 'D')
      return VELT_ANSI("дата вне годов 1-9999 не помещается в поле ") + f.name + " (" + shape +
             VELT_ANSI(") таблицы результатов");
    const double number = overflowValues_[static_cast<std::size_t>(i)];
    char value[64];
    std::snprintf(value, sizeof value, "%.*f", f.decimals, number);
    if (std::strlen(value) > 40) std::snprintf(value, sizeof value, "%.6g", number);
    return VELT_ANSI("значение ") + value + VELT_ANSI(" не помещается в поле ") + f.name + " (" + shape +
           VELT_ANSI(") таблицы результатов");
  }
  return {};
}

void OutputRecord::Reset(char* record) {
  record_ = record;
  overflow_ = {};
  written_ = {};
}

bool OutputRecord::Rewritten(Out field) {
  const auto bit = static_cast<unsigned>(field);
  const std::uint64_t mask = std::uint64_t{1} << (bit % 64);
  const bool before = (written_[bit / 64] & mask) != 0;
  written_[bit / 64] |= mask;
  return before;
}

void OutputRecord::DropJunk(Out field, std::size_t written) {
  char* p = At(field);
  const auto junk = [](char c) { return kJunk[static_cast<unsigned char>(c)]; };
  const std::size_t text = dbf::TrimRight(std::string_view(p, written)).size();
  const std::size_t kept = static_cast<std::size_t>(std::remove_if(p, p + text, junk) - p);
  std::memset(p + kept, ' ', WidthOf(field) - kept);
}

// A field written for the first time in a record is blank: only its text
// needs writing.
void OutputRecord::Text(Out field, std::string_view value) {
  const std::size_t width = WidthOf(field);
  const std::size_t n = std::min(width, value.size());
  char* p = At(field);
  CopySmall(p, value.data(), n);
  if (Rewritten(field)) std::memset(p + n, ' ', width - n);
  if (kCleanedFields[static_cast<int>(field)] && HasJunk(value.data(), n)) DropJunk(field, n);
}

void OutputRecord::UpperText(Out field, std::string_view value) {
  const std::size_t width = WidthOf(field);
  const std::size_t n = std::min(width, value.size());
  char* p = At(field);
  UpperCaseInto(value.substr(0, n), p);
  if (Rewritten(field)) std::memset(p + n, ' ', width - n);
  // Upper-casing neither makes nor takes a separator.
  if (kCleanedFields[static_cast<int>(field)] && HasJunk(value.data(), n)) DropJunk(field, n);
}

void OutputRecord::WriteInteger(Out field, int value) {
  const OutputField& f = kOutputLayout[static_cast<int>(field)];
  if (f.decimals != 0) {
    Overflow(field, !dbf::FormatInteger(value, f.width, f.decimals, At(field)), value);
    return;
  }
  // Right-justified digits, as FormatInteger writes them: made from the
  // right, two at a time, then put in place.
  static constexpr char kPairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  std::uint32_t rest = value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
  char digits[12];
  char* start = digits + sizeof digits;
  while (rest >= 100) {
    const std::uint32_t pair = rest % 100;
    rest /= 100;
    start -= 2;
    start[0] = kPairs[2 * pair];
    start[1] = kPairs[2 * pair + 1];
  }
  if (rest >= 10) {
    start -= 2;
    start[0] = kPairs[2 * rest];
    start[1] = kPairs[2 * rest + 1];
  } else {
    *--start = static_cast<char>('0' + rest);
  }
  if (value < 0) *--start = '-';
  const int length = static_cast<int>(digits + sizeof digits - start);
  if (length > f.width) {
    Overflow(field, true, value);
    return;
  }
  char* p = At(field);
  if (Rewritten(field)) std::memset(p, ' ', static_cast<std::size_t>(f.width - length));
  CopySmall(p + f.width - length, start, static_cast<std::size_t>(length));
  Overflow(field, false);
}

void OutputRecord::Formatted(Out field, const char* bytes, bool fits, double value) {
  Rewritten(field);
  if (fits) std::memcpy(At(field), bytes, WidthOf(field));
  Overflow(field, !fits, value);
}

void OutputRecord::Date(Out field, DateTime value, const DateParts& parts) {
  Rewritten(field);
  FormattedDate& date = dates_[nextDate_];
  nextDate_ = (nextDate_ + 1) % dates_.size();
  date.value = value;
  date.written = true;
  char* p = date.text;
  for (int i = 3, year = parts.year; i >= 0; --i, year /= 10) p[i] = static_cast<char>('0' + year % 10);
  p[4] = static_cast<char>('0' + parts.month / 10);
  p[5] = static_cast<char>('0' + parts.month % 10);
  p[6] = static_cast<char>('0' + parts.day / 10);
  p[7] = static_cast<char>('0' + parts.day % 10);
  std::memcpy(At(field), date.text, 8);
  Overflow(field, false);
}

// These write the whole field (or leave it as it was).
void OutputRecord::Number(Out field, double value) {
  const OutputField& f = kOutputLayout[static_cast<int>(field)];
  Rewritten(field);
  Overflow(field, !dbf::FormatNumber(value, f.width, f.decimals, At(field)), value);
}

bool OutputRecord::Date(Out field, DateTime value) {
  Rewritten(field);
  const FormattedDate* date = nullptr;
  for (const FormattedDate& known : dates_)
    if (known.value == value) date = &known;
  if (date == nullptr) {
    FormattedDate& fresh = dates_[nextDate_];
    nextDate_ = (nextDate_ + 1) % dates_.size();
    fresh.value = value;
    fresh.written = dbf::FormatDate(value, fresh.text);
    date = &fresh;
  }
  if (date->written) std::memcpy(At(field), date->text, 8);
  Overflow(field, !date->written, value);
  return date->written;
}

}  // namespace velt
