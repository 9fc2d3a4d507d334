#pragma once
// The output record of one call as the converter fills it: each value is
// formatted straight into the record's bytes (1251), exactly as the table
// layer's field writes format it, without their checks of the edit state.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "conversion/output_layout.h"
#include "support/date_time.h"

namespace velt {

class OutputRecord {
 public:
  OutputRecord() = default;
  // Over a blank record (as Table::Append starts it).
  explicit OutputRecord(char* record) : record_(record) {}
  // On to the next blank record; the dates formatted so far are kept.
  void Reset(char* record);

  // Text cut to the field's width and padded with blanks. The text fields
  // that the receiving system splits on # = | lose those characters, taken
  // from the text as it stands in the field (cut, trailing blanks and NULs
  // aside), as the clean-up at the end of a record has always done it.
  void Text(Out field, std::string_view value);
  // The same, upper-cased.
  void UpperText(Out field, std::string_view value);
  void Integer(Out field, int value) {
    // The common case without a call: one digit into a field without
    // decimals that this record has not written yet (blank: the digit is
    // all there is to write).
    const auto i = static_cast<unsigned>(field);
    if (static_cast<unsigned>(value) < 10 && kOutputLayout[i].decimals == 0 &&
        ((written_[i / 64] >> (i % 64)) & 1) == 0) {
      written_[i / 64] |= std::uint64_t{1} << (i % 64);
      overflow_[i / 64] &= ~(std::uint64_t{1} << (i % 64));
      At(field)[kOutputLayout[i].width - 1] = static_cast<char>('0' + value);
      return;
    }
    WriteInteger(field, value);
  }
  void Number(Out field, double value);
  // False (the field as it was) when the date has no year in 1..9999.
  bool Date(Out field, DateTime value);
  // A date known by its parts too (the value encodes them).
  void Date(Out field, DateTime value, const DateParts& parts);
  // The field's bytes as FormatNumber or FormatInteger gave them, or, when
  // they did not fit (`fits` false), the field as it was; `value` is what
  // they stand for, for the message when it did not fit.
  void Formatted(Out field, const char* bytes, bool fits, double value);

  // A value too wide for its field was written and not replaced since: the
  // record cannot be posted ("Translate error. Value out of bounds").
  bool OutOfBounds() const { return (overflow_[0] | overflow_[1]) != 0; }
  // The same of one field: its last value did not fit (and it holds the one
  // before, as it reads back).
  bool OutOfBoundsAt(Out field) const {
    const auto bit = static_cast<unsigned>(field);
    return (overflow_[bit / 64] >> (bit % 64)) & 1;
  }
  // Why the record cannot be posted, for the operator (1251): the first
  // field in layout order whose value did not fit, its type and width, and
  // that value. Empty when every value fits.
  std::string OutOfBoundsText() const;

 private:
  char* At(Out field) const { return record_ + kOutputOffsets[static_cast<int>(field)]; }
  void Overflow(Out field, bool on);
  // The same with the value that did not fit, kept for OutOfBoundsText.
  void Overflow(Out field, bool on, double value);
  // Whether the field was written before in this record; marks it written.
  bool Rewritten(Out field);
  void WriteInteger(Out field, int value);
  // Takes # = | out of the field, whose first `written` bytes hold one.
  void DropJunk(Out field, std::size_t written);

  char* record_ = nullptr;
  std::array<std::uint64_t, 2> overflow_{};
  std::array<std::uint64_t, 2> written_{};
  // The last value of each field that did not fit; read only while its
  // overflow bit is on. Written rarely: only when a value does not fit.
  std::array<double, kOutputFieldCount> overflowValues_{};
  // The last dates written (the call's day comes back in several fields and
  // records), each with its eight bytes.
  struct FormattedDate {
    DateTime value = -1e300;
    bool written = false;
    char text[8] = {};
  };
  std::array<FormattedDate, 4> dates_{};
  std::size_t nextDate_ = 0;
};

}  // namespace velt
