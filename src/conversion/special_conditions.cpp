// Special conditions of an emergency call and the registry fields of the
// intermediate record.
#include "conversion/special_conditions.h"

#include <charconv>
#include <string>
#include <utility>

#include "conversion/record_groups.h"
#include "conversion/run_session.h"
#include "support/code_page.h"
#include "support/text.h"
#include "table/dbf_value.h"

namespace velt {
namespace {

// A mapping result that means "look further" for the reason and "nothing
// to write" for the injury kind.
constexpr int kMappedElsewhere = 99;
// The injury kind of a trauma call whose injury the mapping does not know.
constexpr int kUnknownInjury = 11;
constexpr int kSpecialStation = 672;

// The hour in characters 1-2 of an hh:mm text, 25 when there is none.
int HourOrNone(std::string_view time) { return StrToIntDef(Copy(time, 1, 2), 25); }

// Calls that ended before 1 January 2017 (day 42736 of the program's
// calendar) name the receiving institution in LPU_FROM, later ones in LPU_TO.
constexpr DateTime kInstitutionCutOver = 42736;

// The month digits of F<station><YY><MM>.DBF: the two characters before the
// last four of the file name.
std::string_view RegistryMonth(std::string_view fileName) {
  std::size_t end = fileName.size() >= 4 ? fileName.size() - 4 : 0;
  std::size_t begin = end >= 2 ? end - 2 : 0;
  return fileName.substr(begin, end - begin);
}

// The last `width` characters of the number zero-padded to `width`.
char* Digits(int value, int width, char* out) {
  if (value >= 0 && value < (width >= 4 ? 10000 : 100)) {
    for (int i = width - 1; i >= 0; --i, value /= 10) out[i] = static_cast<char>('0' + value % 10);
    return out + width;
  }
  char text[16];
  char* end = std::to_chars(text, text + sizeof text, value).ptr;
  for (int i = width - 1; i >= 0; --i) out[i] = end - text > width - 1 - i ? end[i - width] : '0';
  return out + width;
}

}  // namespace

namespace {

// An hh:mm text as minutes of the day; false when it names no time of day.
bool MinutesOfDay(std::string_view time, int& minutes) {
  int hour = 0;
  int minute = 0;
  if (!TryStrToInt(Copy(time, 1, 2), hour) || !TryStrToInt(Copy(time, 4, 2), minute) || hour < 0 ||
      hour > 23 || minute < 0 || minute > 59)
    return false;
  minutes = hour * 60 + minute;
  return true;
}

// "yyyy-mm-dd" of a day, the first ten characters of its stamps.
void DayStamp(const DateParts& day, char* out) {
  char* p = Digits(day.year, 4, out);
  *p++ = '-';
  p = Digits(day.month, 2, p);
  *p++ = '-';
  Digits(day.day, 2, p);
}

// "yyyy-mm-ddThh:nn": the day's stamp (already in `out`) and a time of day.
std::string_view MinuteStamp(int minutes, char (&out)[16]) {
  out[10] = 'T';
  char* p = Digits(minutes / 60, 2, out + 11);
  *p++ = ':';
  Digits(minutes % 60, 2, p);
  return std::string_view(out, 16);
}

}  // namespace

DateTime StageMoment(std::string_view time, DateTime base) {
  int minutes = 0;
  DateTime timeOfDay = 0;
  if (!MinutesOfDay(time, minutes) || !TryEncodeTime(minutes / 60, minutes % 60, 0, 0, timeOfDay)) return 0;
  DateTime moment = DateOf(base) + timeOfDay;
  if (moment < base) moment += 1.0;
  return moment;
}

std::string_view FormatMinuteStamp(DateTime moment, char (&out)[16]) {
  const TimeParts time = DecodeTime(moment);
  DayStamp(DecodeDate(moment), out);
  return MinuteStamp(time.hour * 60 + time.minute, out);
}

std::string FormatMinuteStamp(DateTime moment) {
  char text[16];
  return std::string(FormatMinuteStamp(moment, text));
}

// The hospitalisation date, written for every call: a hospitalisation hour before the call
// hour means the patient was taken in after midnight.
bool HospitalisationDateGroup(RecordContext& ctx) {
  int startHour = HourOrNone(ctx.Text(In::TPRM));
  int hospitalHour = HourOrNone(ctx.Text(In::TSTA));
  bool pastMidnight = hospitalHour < startHour && startHour < 24 && hospitalHour < 24 && ctx.dateBegWritten;
  ctx.out.Date(Out::SP_DATE, pastMidnight ? ctx.dateBeg + 1.0 : ctx.dateBeg);
  return true;
}

// The receiving institution goes to LPU_FROM for calls that ended before
// the cut-over, else to LPU_TO. A blank DATE_END reads as the zero date and
// so counts as early.
void ReceivingInstitutionGroup(RecordContext& ctx) {
  int code = ctx.session.RecodeNoting(UnmappedKind::Institution, Lookup::tr_lpu, ctx.Text(In::KUDA));
  ctx.out.Integer(ctx.dateEnd < kInstitutionCutOver ? Out::LPU_FROM : Out::LPU_TO, code);
}

// The reason of the call: a reason mapped to 99 is an injury: the injury's own reason
// mapping decides, and a second 99 means no reason at all.
void ReasonGroup(RecordContext& ctx) {
  RunSession& session = ctx.session;
  int reason = session.RecodeNoting(UnmappedKind::Reason, Lookup::tr_reas, ctx.Text(In::POVD));
  if (reason == kMappedElsewhere) {
    reason = session.RecodeNoting(UnmappedKind::InjuryReason, Lookup::tr_reas1, ctx.Text(In::TRAV));
    if (reason == kMappedElsewhere) reason = 0;
  }
  ctx.reasonCode = reason;
  if (reason > 0) ctx.out.Integer(Out::SP_REAS, reason);
  ctx.out.Integer(Out::SP_VID,
                  session.RecodeNoting(UnmappedKind::CallKind, Lookup::tr_vid, ctx.Text(In::POVT)));
  ctx.out.Integer(Out::SP_FROM,
                  session.RecodeNoting(UnmappedKind::Place, Lookup::tr_from, ctx.Text(In::MEST)));
  ctx.out.Text(Out::SP_TIME, ctx.Text(In::TSTA));
  // Too long a distance for the field makes the posting fail.
  ctx.out.Integer(Out::SP_KM, StrToIntDef(ctx.Text(In::KILO), 0));
}

// The registry fields: only records of patients insured in another region carry the
// registry month and their insurer's region (OKATO) or, for an insurer that
// f002 does not know, the insurer's text.
void RegistryGroup(RecordContext& ctx) {
  if (ctx.isNative) return;
  ctx.out.Integer(Out::NREESTR, StrToIntDef(RegistryMonth(ctx.session.inputFileName), 0));
  std::string_view smo = ctx.Text(In::SMO);
  std::string_view key = Copy(smo, 1, 5);
  if (key.empty()) return;
  const InsurerRow* insurer = ctx.insurer;
  if (insurer == nullptr) {
    try {
      insurer = &ctx.session.lookups.Insurer(key);
    } catch (const Error&) {
      insurer = nullptr;  // silent: the insurer's own text stands in
    }
  }
  // An insurer that f002 does not know, or whose TF_OKATO cannot be read,
  // is named by the archive's text.
  if (insurer != nullptr && insurer->found && insurer->okatoRead) {
    ctx.out.Text(Out::OKATO_OMS, insurer->okato);
  } else {
    ctx.out.Text(Out::SMO_NAM, smo);
  }
}

// The record number: each output table numbers its records from 1 in the order of
// conversion.
void RecordNumberGroup(RecordContext& ctx) {
  int& counter = ctx.isNative ? ctx.session.nativesCounter : ctx.session.externalsCounter;
  ctx.out.Integer(Out::N_ZAP, counter);
  ++counter;
}

// The file type: 04 for the home region's table, 14 for the other.
void FileTypeGroup(RecordContext& ctx) { ctx.out.Text(Out::FILE_TYPE, ctx.isNative ? "04" : "14"); }

// The doctor, upper-cased.
void DoctorGroup(RecordContext& ctx) { ctx.out.UpperText(Out::DOCTOR, ctx.Text(In::DOKT)); }

// The form of care: priorities 6 and 7 are urgent care; every other call is an
// emergency.
bool FormOfCareGroup(RecordContext& ctx) {
  int priority = StrToIntDef(ctx.Text(In::PRTY), -1);
  ctx.out.Integer(Out::FOR_POM, priority == 6 || priority == 7 ? 2 : 1);
  return true;
}

// The injury kind: only trauma calls (reason 1) carry an injury kind.
void InjuryKindGroup(RecordContext& ctx) {
  if (ctx.reasonCode != 1) return;
  int injury = ctx.session.RecodeNoting(UnmappedKind::Injury, Lookup::tr_trag, ctx.Text(In::TRAV));
  if (injury == kMappedElsewhere) return;
  ctx.out.Integer(Out::SP_TRAG, injury < 1 ? kUnknownInjury : injury);
}

// The stage times: the four stage times of the call, each counted from the call
// start: on the call's day, or on the next day when its time of day lies
// before the call's (the same as StageMoment's moment written by
// FormatMinuteStamp, the day decoded once).
void StageTimesGroup(RecordContext& ctx) {
  if (!ctx.callStartValid) return;
  static constexpr std::pair<In, Out> kStages[] = {
      {In::TPER, Out::SP_DT1}, {In::VYEZ, Out::SP_DT2}, {In::PRZD, Out::SP_DT3}, {In::TGSP, Out::SP_DT4}};
  const DateTime day = DateOf(ctx.callStart);
  const TimeParts time = DecodeTime(ctx.callStart);
  const int start = time.hour * 60 + time.minute;
  // The stamps of the call's day and of the next, made when first needed.
  char stamps[2][16];
  bool made[2] = {false, false};
  for (const auto& [input, output] : kStages) {
    int minutes = 0;
    if (!MinutesOfDay(ctx.Text(input), minutes)) continue;
    const int next = minutes < start ? 1 : 0;
    if (!made[next]) {
      DayStamp(next == 0 && ctx.dateBegWritten && ctx.dateBeg == day ? ctx.callDay : DecodeDate(day + next),
               stamps[next]);
      made[next] = true;
    }
    ctx.out.Text(output, MinuteStamp(minutes, stamps[next]));
  }
}

// Station 672's own rule: it reports its final diagnosis as the first one too,
// and, for result 4, the end of the call as the hospitalisation time and date.
bool Station672Group(RecordContext& ctx) {
  if (ctx.session.stationCode != kSpecialStation) return true;
  // The fields as they stand before the clean-up: the diagnosis cut to its
  // field, the end time as written.
  const std::string_view diagnosis = ctx.Text(In::DS1);
  ctx.out.Text(Out::COD_MKB0,
               dbf::TrimRight(diagnosis.substr(0, kOutputLayout[static_cast<int>(Out::COD_MKB)].width)));
  if (ctx.result != 4) return true;
  ctx.out.Text(Out::SP_TIME, ctx.timeEndWritten ? dbf::TrimRight(std::string_view(ctx.timeEnd, 5)) : "");
  ctx.out.Date(Out::SP_DATE, ctx.dateEnd);
  return true;
}

}  // namespace velt
