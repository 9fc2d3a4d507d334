// Call timing, diagnosis, result, brigade and tariff of one call.
#include "conversion/call_timing.h"

#include <charconv>
#include <cstdio>
#include <string>

#include "conversion/record_groups.h"
#include "conversion/run_session.h"
#include "support/code_page.h"
#include "support/date_time.h"
#include "support/text.h"

namespace velt {
namespace {

// Marks a call that received no usable end time; also "no hospitalisation".
constexpr int kNoHour = 25;

// Hour text and minute text of an hh:mm time: characters 1-2 and 4-5; the
// separator in between is never looked at.
std::string_view HourPart(std::string_view time) { return Copy(time, 1, 2); }
std::string_view MinutePart(std::string_view time) { return Copy(time, 4, 2); }

// The last two characters of the number zero-padded to two: 5 gives 05,
// 125 gives 25, -5 gives -5.
void TwoDigits(int value, char* out) {
  char text[16] = {};
  char* end = std::to_chars(text, text + sizeof text, value).ptr;
  const std::ptrdiff_t length = end - text;
  out[0] = length >= 2 ? end[-2] : '0';
  out[1] = end[-1];
}

// The row (1-based) of a profile letter in the brigade table, 0 when the
// letter has none. Row 14 is the blank: no letter given.
int BrigadeRow(std::string_view letters) {
  std::string_view trimmed = TrimView(letters);
  char letter = trimmed.empty() ? ' ' : trimmed.front();
  std::size_t at = VELT_ANSI("АДЕКЛНПРБТФХЯ ").find(letter);
  return at == std::string::npos ? 0 : static_cast<int>(at) + 1;
}

constexpr int kBrigadeSpecs[14] = {1439, 1445, 1441, 1440, 1439, 1443, 1442,
                                   1444, 1439, 1439, 1439, 9999, 9999, 1439};

// Qualification letter of a row; the blank row has none.
std::string_view BrigadeKval(int row) {
  std::string_view letters = VELT_ANSI("ВВВВВВВВВВФ99 ");
  char letter = letters[row - 1];
  return letter == ' ' ? std::string_view() : letters.substr(row - 1, 1);
}

}  // namespace

Brigade ResolveBrigade(std::string_view prof, std::string_view prfb) {
  Brigade brigade;
  int brigadeRow = BrigadeRow(prfb);
  if (brigadeRow > 0) {
    brigade.spec = kBrigadeSpecs[brigadeRow - 1];
    brigade.kval = BrigadeKval(brigadeRow);
  }
  const std::string& feldsher = VELT_ANSI("Ф");
  const std::string& doctor = VELT_ANSI("В");
  bool known = brigade.kval == "9" || brigade.kval == feldsher || brigade.kval == doctor;
  int profileRow = BrigadeRow(prof);
  // The profile letter may lend its qualification, never its specialty.
  if (!known && profileRow > 0) brigade.kval = BrigadeKval(profileRow);
  brigade.kind = brigade.kval == feldsher ? 18 : brigade.kval == doctor ? 17 : 0;
  return brigade;
}

std::string CallDateText(std::string_view dprm) {
  int day = 0, month = 0, year = 0;
  if (!TryStrToInt(Copy(dprm, 5, 2), day) || !TryStrToInt(Copy(dprm, 3, 2), month) ||
      !TryStrToInt(Copy(dprm, 1, 2), year) || !IsValidDate(2000 + year, month, day))
    return std::string(dprm);
  char text[40];
  std::snprintf(text, sizeof text, "%02d.%02d.%04d", day, month, 2000 + year);
  return text;
}

// The call date: DPRM is yymmdd. The call start counts as valid once the three
// numbers convert, and is withdrawn again when they name no real date.
bool CallDateGroup(RecordContext& ctx) {
  ctx.callStartValid = false;
  std::string_view text = ctx.Text(In::DPRM);
  int day = 0, month = 0, year = 0;
  if (!TryStrToInt(Copy(text, 5, 2), day) || !TryStrToInt(Copy(text, 3, 2), month) ||
      !TryStrToInt(Copy(text, 1, 2), year))
    return false;
  DateTime date = 0;
  if (!TryEncodeDate(2000 + year, month, day, date)) return false;
  ctx.callStartValid = true;
  ctx.callDay = DateParts{2000 + year, month, day};
  ctx.out.Date(Out::DATE_BEG, date, ctx.callDay);
  ctx.dateBegWritten = true;
  ctx.dateBeg = date;
  ctx.callStart = date;  // the time of day joins it in CallStartStep
  return true;
}

// The call time: the hour and minute are written as they convert, even when
// they name no time of day (25:00 stays 25:00); CallStartStep then refuses
// them.
bool CallTimeGroup(RecordContext& ctx) {
  // The call start stays withdrawn when anything here fails.
  const bool dateValid = ctx.callStartValid;
  ctx.callStartValid = false;
  std::string_view text = ctx.Text(In::TPRM);
  int hour = 0, minute = 0;
  if (!TryStrToInt(HourPart(text), hour)) return false;
  ctx.startHour = hour;
  if (!TryStrToInt(MinutePart(text), minute)) return false;
  TwoDigits(hour, ctx.timeBeg);
  ctx.timeBeg[2] = ':';
  TwoDigits(minute, ctx.timeBeg + 3);
  ctx.out.Text(Out::TIME_BEG, std::string_view(ctx.timeBeg, 5));
  ctx.startMinute = minute;
  ctx.callStartValid = dateValid;
  return true;
}

// The call start, date and time of day together. Not guarded: a call time
// outside the day with a valid call date ends the run at this record.
void CallStartStep(RecordContext& ctx) {
  if (!ctx.callStartValid) return;
  // The call date and time both converted, so the hour and the minute are known.
  DateTime time = 0;
  if (!TryEncodeTime(ctx.startHour, ctx.startMinute, 0, 0, time))
    throw Error(VELT_ANSI("Недопустимое время приема вызова: ") + std::string(ctx.timeBeg, 5));
  ctx.callStart = DateOf(ctx.callStart) + time;
}

// The end time is copied as typed; only its hour is kept as a number.
void EndTimeGroup(RecordContext& ctx) {
  ctx.endHour = kNoHour;
  std::string_view text = ctx.Text(In::TISP);
  if (text.size() < 5) return;
  std::string_view hour = HourPart(text);
  std::string_view minute = MinutePart(text);
  char joined[4] = {hour[0], hour[1], minute[0], minute[1]};
  int value = 0;
  if (!TryStrToInt(std::string_view(joined, 4), value) || value == -1) return;
  ctx.timeEnd[0] = hour[0];
  ctx.timeEnd[1] = hour[1];
  ctx.timeEnd[2] = ':';
  ctx.timeEnd[3] = minute[0];
  ctx.timeEnd[4] = minute[1];
  ctx.timeEndWritten = true;
  ctx.out.Text(Out::TIME_END, std::string_view(ctx.timeEnd, 5));
  // "0x" + "10" is an integer while "0x" alone is not; unguarded, this ends the run.
  if (!TryStrToInt(hour, ctx.endHour))
    throw Error("'" + std::string(hour) + "' is not a valid integer value");
}

// The end date: an end hour before the start hour means the call ran past
// midnight. A blank DATE_BEG is written on as the zero date.
void EndDateGroup(RecordContext& ctx) {
  const DateTime begin = ctx.dateBeg;
  const bool pastMidnight =
      ctx.endHour < ctx.startHour && ctx.startHour < 24 && ctx.endHour < 24 && ctx.dateBegWritten;
  const DateTime end = pastMidnight ? begin + 1.0 : begin;
  ctx.dateEnd = ctx.out.Date(Out::DATE_END, end) ? end : 0;
}

// The diagnoses as the archive holds them.
void DiagnosesGroup(RecordContext& ctx) {
  ctx.out.Text(Out::COD_MKB0, ctx.Text(In::DSHS));
  ctx.out.Text(Out::COD_MKB, ctx.Text(In::DS1));
}

// The result and the outcome: outcomes are coded from 401 in the archive and from 1 in the
// output; a value that does not fit the output makes the posting fail.
void ResultGroup(RecordContext& ctx) {
  const int result = ctx.session.RecodeNoting(UnmappedKind::Result, Lookup::tr_rslt, ctx.Text(In::REZL));
  ctx.out.Integer(Out::RSLT, result);
  ctx.result = ctx.out.OutOfBoundsAt(Out::RSLT) ? 0 : result;
  if (!ctx.Has(In::ISHOD)) return;
  int outcome = 0;
  if (TryStrToInt(ctx.Text(In::ISHOD), outcome) && outcome > 0) ctx.out.Integer(Out::ISHOD, outcome - 400);
}

// The fields every call carries with the same value.
void FixedValuesGroup(RecordContext& ctx) {
  ctx.out.Text(Out::IDDOCT, "");
  ctx.out.Integer(Out::VIDPOM, 2);
  ctx.out.Text(Out::NOVOR, "0");
  ctx.out.Text(Out::OS_SLUCH, "");
}

// The brigade's specialty, qualification and kind. An archive with its own COD_SPEC field overrides the
// specialty that the brigade letter gives.
void BrigadeGroup(RecordContext& ctx) {
  Brigade brigade = ResolveBrigade(ctx.Text(In::PROF), ctx.Text(In::PRFB));
  if (ctx.Has(In::COD_SPEC)) brigade.spec = ctx.in.Integer(In::COD_SPEC);
  ctx.out.Integer(Out::COD_SPEC, brigade.spec);
  ctx.specialty = ctx.out.OutOfBoundsAt(Out::COD_SPEC) ? 0 : brigade.spec;
  ctx.out.Text(Out::KVAL, brigade.kval);
  ctx.out.Integer(Out::SP_BRIG, brigade.kind);
}

// The tariff of the brigade's specialty in the station's category
// (the station's category survives a station missing from lpu: it is
// carried over from earlier records and runs). A tariff whose date cannot
// be read keeps its amount.
bool TariffGroup(RecordContext& ctx) {
  const int category = ctx.session.StationCategory();
  const TariffRow& row = ctx.session.lookups.Tariff(ctx.specialty, category);
  if (row.state == TariffRow::State::None) return true;
  if (row.state == TariffRow::State::TariffFails) return false;
  ctx.out.Formatted(Out::TARIF, row.tariffField.data(), row.tariffFits, row.tariff);
  if (row.state == TariffRow::State::DateFails) return false;
  ctx.out.Date(Out::DATE_TAR, row.date);
  return true;
}

}  // namespace velt
