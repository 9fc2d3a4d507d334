// Call timing, diagnosis, result, brigade and tariff of one call.
#include "conversion/call_timing.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <string>

#include "conversion/record_groups.h"
#include "conversion/unmapped_report.h"
#include "reference/reference_tables.h"
#include "support/code_page.h"
#include "support/text.h"

namespace velt {
namespace {

// Marks a call that received no usable end time; also "no hospitalisation".
constexpr int kNoHour = 25;

// Hour text and minute text of an hh:mm time: characters 1-2 and 4-5; the
// separator in between is never looked at.
std::string_view HourPart(std::string_view time) { return Copy(time, 1, 2); }
std::string_view MinutePart(std::string_view time) { return Copy(time, 4, 2); }

std::string TwoDigits(int value) { return PadLeft(std::to_string(value), 2, '0'); }

// A decimal number as the tarif reference holds it as text ("1234.5"; a
// comma is taken as the decimal point too). GroupFailure when there is none.
double NumberOrFail(std::string_view text) {
  std::string number(TrimView(text));
  for (char& c : number)
    if (c == ',') c = '.';
  std::size_t start = !number.empty() && number[0] == '+' ? 1 : 0;
  const char* first = number.data() + start;
  const char* last = number.data() + number.size();
  // Digits, a point or a minus must open it, so "inf" and "nan" stay out.
  if (first == last || !(std::isdigit(static_cast<unsigned char>(*first)) || *first == '.' || *first == '-'))
    throw GroupFailure();
  double value = 0;
  auto [end, error] = std::from_chars(first, last, value);
  if (error != std::errc() || end != last || !std::isfinite(value)) throw GroupFailure();
  return value;
}

// A dd.mm.yyyy text as a date (a two-digit year counts from 2000).
DateTime DateOrFail(std::string_view text) {
  text = TrimView(text);
  int parts[3] = {0, 0, 0};
  int digits[3] = {0, 0, 0};
  int part = 0;
  for (char c : text) {
    if (c == '.') {
      if (++part > 2) throw GroupFailure();
    } else if (c >= '0' && c <= '9' && digits[part] < 4) {
      parts[part] = parts[part] * 10 + (c - '0');
      ++digits[part];
    } else {
      throw GroupFailure();
    }
  }
  if (part != 2 || digits[0] == 0 || digits[1] == 0 || digits[2] == 0) throw GroupFailure();
  int year = digits[2] <= 2 ? 2000 + parts[2] : parts[2];
  DateTime date = 0;
  if (!TryEncodeDate(year, parts[1], parts[0], date)) throw GroupFailure();
  return date;
}

// The row (1-based) of a profile letter in the brigade table, 0 when the
// letter has none. Row 14 is the blank: no letter given.
int BrigadeRow(std::string_view letters) {
  std::string_view trimmed = TrimView(letters);
  char letter = trimmed.empty() ? ' ' : trimmed.front();
  std::size_t at = W("АДЕКЛНПРБТФХЯ ").find(letter);
  return at == std::string::npos ? 0 : static_cast<int>(at) + 1;
}

constexpr int kBrigadeSpecs[14] = {1439, 1445, 1441, 1440, 1439, 1443, 1442,
                                   1444, 1439, 1439, 1439, 9999, 9999, 1439};

// Qualification letter of a row; the blank row has none.
std::string_view BrigadeKval(int row) {
  std::string_view letters = W("ВВВВВВВВВВФ99 ");
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
  const std::string& feldsher = W("Ф");
  const std::string& doctor = W("В");
  bool known = brigade.kval == "9" || brigade.kval == feldsher || brigade.kval == doctor;
  int profileRow = BrigadeRow(prof);
  // The profile letter may lend its qualification, never its specialty.
  if (!known && profileRow > 0) brigade.kval = BrigadeKval(profileRow);
  brigade.kind = brigade.kval == feldsher ? 18 : brigade.kval == doctor ? 17 : 0;
  return brigade;
}

// Step 12. DPRM is yymmdd. The call start counts as valid once the three
// numbers convert, and is withdrawn again when they name no real date.
void CallDateGroup(RecordContext& ctx) {
  try {
    std::string_view text = ctx.Text(In::DPRM);
    int day = IntegerOrFail(Copy(text, 5, 2));
    int month = IntegerOrFail(Copy(text, 3, 2));
    int year = 2000 + IntegerOrFail(Copy(text, 1, 2));
    ctx.CallStartValid = true;
    DateTime date = 0;
    if (!TryEncodeDate(year, month, day, date)) throw GroupFailure();
    ctx.SetDate(Out::DATE_BEG, date);
    ctx.CallStart = date;  // the time of day joins it in step 14
  } catch (const Error&) {
    ctx.CallStartValid = false;
    throw;
  }
}

// Step 13. The hour and minute are written as they convert, even when they
// name no time of day (25:00 stays 25:00); step 14 then refuses them.
void CallTimeGroup(RecordContext& ctx) {
  try {
    std::string_view text = ctx.Text(In::TPRM);
    int hour = IntegerOrFail(HourPart(text));
    ctx.StartHour = hour;
    int minute = IntegerOrFail(MinutePart(text));
    ctx.SetText(Out::TIME_BEG, TwoDigits(hour) + ":" + TwoDigits(minute));
  } catch (const Error&) {
    ctx.CallStartValid = false;
    throw;
  }
}

// Step 14. Not guarded: a call time outside the day with a valid call date
// ends the run at this record.
void CallStartStep(RecordContext& ctx) {
  if (!ctx.CallStartValid) return;
  // Steps 12 and 13 both converted, so TPRM holds an hour and a minute.
  std::string_view text = ctx.Text(In::TPRM);
  int minute = IntegerOrFail(MinutePart(text));
  DateTime time = 0;
  if (!TryEncodeTime(ctx.StartHour, minute, 0, 0, time))
    throw Error(W("Недопустимое время приема вызова: ") + ctx.OutText(Out::TIME_BEG));
  ctx.CallStart = DateOf(ctx.CallStart) + time;
}

// Step 15. The end time is copied as typed; only its hour is kept as a number.
void EndTimeGroup(RecordContext& ctx) {
  ctx.EndHour = kNoHour;
  std::string_view text = ctx.Text(In::TISP);
  if (text.size() < 5) return;
  std::string_view hour = HourPart(text);
  std::string_view minute = MinutePart(text);
  std::string joined;
  joined.reserve(4);
  joined.append(hour).append(minute);
  int value = 0;
  if (!TryStrToInt(joined, value) || value == -1) return;
  std::string timeEnd(hour);
  timeEnd.append(":").append(minute);
  ctx.SetText(Out::TIME_END, timeEnd);
  // "0x" + "10" is an integer while "0x" alone is not; unguarded, this ends the run.
  if (!TryStrToInt(hour, ctx.EndHour))
    throw Error("'" + std::string(hour) + "' is not a valid integer value");
}

// Step 16. An end hour before the start hour means the call ran past
// midnight. A blank DATE_BEG is written on as the zero date.
void EndDateGroup(RecordContext& ctx) {
  DateTime begin = ctx.OutDate(Out::DATE_BEG);
  bool pastMidnight = ctx.EndHour < ctx.StartHour && ctx.StartHour < 24 && ctx.EndHour < 24 &&
                      !ctx.OutText(Out::DATE_BEG).empty();
  ctx.SetDate(Out::DATE_END, pastMidnight ? begin + 1.0 : begin);
}

// Step 17.
void DiagnosesGroup(RecordContext& ctx) {
  ctx.SetText(Out::COD_MKB0, ctx.Text(In::DSHS));
  ctx.SetText(Out::COD_MKB, ctx.Text(In::DS1));
}

// Step 18. Outcomes are coded from 401 in the archive and from 1 in the
// output; a value that does not fit the output makes the posting fail.
void ResultGroup(RecordContext& ctx) {
  ctx.SetInt(Out::RSLT,
             RecodeNotingUnmapped(UnmappedKind::Result, ctx.Text(In::REZL), ctx.Ref(Lookup::tr_rslt)));
  if (!ctx.Has(In::ISHOD)) return;
  int outcome = 0;
  if (TryStrToInt(ctx.Text(In::ISHOD), outcome) && outcome > 0) ctx.SetInt(Out::ISHOD, outcome - 400);
}

// Step 19.
void FixedValuesGroup(RecordContext& ctx) {
  ctx.SetText(Out::IDDOCT, "");
  ctx.SetInt(Out::VIDPOM, 2);
  ctx.SetText(Out::NOVOR, "0");
  ctx.SetText(Out::OS_SLUCH, "");
}

// Step 20. An archive with its own COD_SPEC field overrides the specialty
// that the brigade letter gives.
void BrigadeGroup(RecordContext& ctx) {
  Brigade brigade = ResolveBrigade(ctx.Text(In::PROF), ctx.Text(In::PRFB));
  if (ctx.Has(In::COD_SPEC)) brigade.spec = ctx.input.AsInteger(ctx.in.Pos(In::COD_SPEC));
  ctx.SetInt(Out::COD_SPEC, brigade.spec);
  ctx.SetText(Out::KVAL, brigade.kval);
  ctx.SetInt(Out::SP_BRIG, brigade.kind);
}

// Step 21. The tarif index key is the specialty in four positions and the
// one-digit category, while the key looked up is both numbers unpadded: only
// a four-digit specialty finds a tariff. The station's category survives a
// station missing from lpu (it lives in the run state, never reset).
void TariffGroup(RecordContext& ctx) {
  int spec = ctx.OutInt(Out::COD_SPEC);
  std::string station = PadLeft(std::to_string(ctx.state.StationCode), 4, ' ');
  Table& lpu = ctx.Ref(Lookup::lpu);
  lpu.SetScope(station, station);
  if (lpu.Count() > 0) ctx.state.StationCategory = lpu.FieldByName("CATEGORY").AsInteger();

  std::string key = std::to_string(spec) + std::to_string(ctx.state.StationCategory);
  Table& tarif = ctx.Ref(Lookup::tarif);
  tarif.SetScope(key, key);
  if (tarif.Count() == 0) return;
  ctx.SetFloat(Out::TARIF, NumberOrFail(tarif.FieldByName("TARIF").AsString()));
  ctx.SetDate(Out::DATE_TAR, DateOrFail(tarif.FieldByName("DATE_TAR").AsString()));
}

}  // namespace velt
