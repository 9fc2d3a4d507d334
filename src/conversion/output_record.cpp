#include "conversion/output_record.h"

#include <algorithm>
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

void OutputRecord::DropJunk(Out field, std::size_t written) {
  char* p = At(field);
  const auto junk = [](char c) { return kJunk[static_cast<unsigned char>(c)]; };
  // What follows the text in the field is blanks and NULs, never one of them.
  bool any = false;
  for (std::size_t i = 0; i < written; ++i) any |= junk(p[i]);
  if (!any) return;
  const std::size_t text = dbf::TrimRight(std::string_view(p, written)).size();
  const std::size_t kept = static_cast<std::size_t>(std::remove_if(p, p + text, junk) - p);
  std::memset(p + kept, ' ', WidthOf(field) - kept);
}

void OutputRecord::Text(Out field, std::string_view value) {
  const std::size_t width = WidthOf(field);
  const std::size_t n = std::min(width, value.size());
  char* p = At(field);
  std::memcpy(p, value.data(), n);
  std::memset(p + n, ' ', width - n);
  if (kCleanedFields[static_cast<int>(field)]) DropJunk(field, n);
}

void OutputRecord::UpperText(Out field, std::string_view value) {
  const std::size_t width = WidthOf(field);
  const std::size_t n = std::min(width, value.size());
  char* p = At(field);
  UpperCaseInto(value.substr(0, n), p);
  std::memset(p + n, ' ', width - n);
  if (kCleanedFields[static_cast<int>(field)]) DropJunk(field, n);
}

void OutputRecord::Integer(Out field, int value) {
  const OutputField& f = kOutputLayout[static_cast<int>(field)];
  if (f.decimals != 0) {
    Overflow(field, !dbf::FormatInteger(value, f.width, f.decimals, At(field)));
    return;
  }
  // Right-justified digits, as FormatInteger writes them: the digits from
  // the right end of a buffer, then blanks in front.
  char digits[12];
  char* first = digits + sizeof digits;
  std::uint32_t magnitude =
      value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
  do {
    *--first = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) *--first = '-';
  const auto length = static_cast<int>(digits + sizeof digits - first);
  if (length > f.width) {
    Overflow(field, true);
    return;
  }
  char* p = At(field);
  for (int i = 0; i < f.width - length; ++i) p[i] = ' ';
  for (int i = 0; i < length; ++i) p[f.width - length + i] = first[i];
  Overflow(field, false);
}

void OutputRecord::Number(Out field, double value) {
  const OutputField& f = kOutputLayout[static_cast<int>(field)];
  Overflow(field, !dbf::FormatNumber(value, f.width, f.decimals, At(field)));
}

bool OutputRecord::Date(Out field, DateTime value) {
  const bool written = dbf::FormatDate(value, At(field));
  Overflow(field, !written);
  return written;
}

}  // namespace velt
