// Special conditions of an emergency call and the registry fields of the
// intermediate record.
#include "conversion/special_conditions.h"

#include <string>
#include <utility>

#include "conversion/record_groups.h"
#include "conversion/unmapped_report.h"
#include "reference/reference_tables.h"
#include "support/code_page.h"
#include "support/text.h"

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

// Calls that ended before this date name the receiving institution in
// LPU_FROM, later ones in LPU_TO.
DateTime InstitutionCutOver() {
  static const DateTime cutOver = [] {
    DateTime date = 0;
    TryEncodeDate(2017, 1, 1, date);
    return date;
  }();
  return cutOver;
}

// The month digits of F<station><YY><MM>.DBF: the two characters before the
// last four of the file name.
std::string_view RegistryMonth(std::string_view fileName) {
  std::size_t end = fileName.size() >= 4 ? fileName.size() - 4 : 0;
  std::size_t begin = end >= 2 ? end - 2 : 0;
  return fileName.substr(begin, end - begin);
}

std::string Digits(int value, int width) { return PadLeft(std::to_string(value), width, '0'); }

}  // namespace

DateTime StageMoment(std::string_view time, DateTime base) {
  int hour = 0;
  int minute = 0;
  DateTime timeOfDay = 0;
  if (!TryStrToInt(Copy(time, 1, 2), hour) || !TryStrToInt(Copy(time, 4, 2), minute) ||
      !TryEncodeTime(hour, minute, 0, 0, timeOfDay))
    return 0;
  DateTime moment = DateOf(base) + timeOfDay;
  if (moment < base) moment += 1.0;
  return moment;
}

std::string FormatMinuteStamp(DateTime moment) {
  DateParts date = DecodeDate(moment);
  TimeParts time = DecodeTime(moment);
  return Digits(date.year, 4) + "-" + Digits(date.month, 2) + "-" + Digits(date.day, 2) + "T" +
         Digits(time.hour, 2) + ":" + Digits(time.minute, 2);
}

// Step 22. Written for every call: a hospitalisation hour before the call
// hour means the patient was taken in after midnight.
void HospitalisationDateGroup(RecordContext& ctx) {
  int startHour = HourOrNone(ctx.Text(In::TPRM));
  int hospitalHour = HourOrNone(ctx.Text(In::TSTA));
  DateTime begin = ctx.OutDate(Out::DATE_BEG);
  bool pastMidnight =
      hospitalHour < startHour && startHour < 24 && hospitalHour < 24 && !ctx.OutText(Out::DATE_BEG).empty();
  ctx.SetDate(Out::SP_DATE, pastMidnight ? begin + 1.0 : begin);
}

// Step 23. A blank DATE_END reads as the zero date and so counts as early.
void ReceivingInstitutionGroup(RecordContext& ctx) {
  int code = RecodeNotingUnmapped(UnmappedKind::Institution, ctx.Text(In::KUDA), ctx.Ref(Lookup::tr_lpu));
  ctx.SetInt(ctx.OutDate(Out::DATE_END) < InstitutionCutOver() ? Out::LPU_FROM : Out::LPU_TO, code);
}

// Step 24. A reason mapped to 99 is an injury: the injury's own reason
// mapping decides, and a second 99 means no reason at all.
void ReasonGroup(RecordContext& ctx) {
  int reason = RecodeNotingUnmapped(UnmappedKind::Reason, ctx.Text(In::POVD), ctx.Ref(Lookup::tr_reas));
  if (reason == kMappedElsewhere) {
    reason = RecodeNotingUnmapped(UnmappedKind::InjuryReason, ctx.Text(In::TRAV), ctx.Ref(Lookup::tr_reas1));
    if (reason == kMappedElsewhere) reason = 0;
  }
  ctx.ReasonCode = reason;
  if (reason > 0) ctx.SetInt(Out::SP_REAS, reason);
  ctx.SetInt(Out::SP_VID,
             RecodeNotingUnmapped(UnmappedKind::CallKind, ctx.Text(In::POVT), ctx.Ref(Lookup::tr_vid)));
  ctx.SetInt(Out::SP_FROM,
             RecodeNotingUnmapped(UnmappedKind::Place, ctx.Text(In::MEST), ctx.Ref(Lookup::tr_from)));
  ctx.SetText(Out::SP_TIME, ctx.Text(In::TSTA));
  // Too long a distance for the field makes the posting fail.
  ctx.SetInt(Out::SP_KM, StrToIntDef(ctx.Text(In::KILO), 0));
}

// Step 25. Only records of patients insured in another region carry the
// registry month and their insurer's region (OKATO) or, for an insurer that
// f002 does not know, the insurer's text.
void RegistryGroup(RecordContext& ctx) {
  if (ctx.IsNative) return;
  ctx.SetInt(Out::NREESTR, StrToIntDef(RegistryMonth(ctx.state.InputFileName), 0));
  std::string_view smo = ctx.Text(In::SMO);
  std::string_view key = Copy(smo, 1, 5);
  if (key.empty()) return;
  try {
    Table& f002 = ctx.Ref(Lookup::f002);
    f002.SetScope(key, key);
    if (f002.Count() > 0) {
      ctx.SetText(Out::OKATO_OMS, f002.FieldByName("TF_OKATO").AsString());
    } else {
      ctx.SetText(Out::SMO_NAM, smo);
    }
  } catch (const Error&) {
    // Silent: the insurer's own text stands in for the failed lookup.
    ctx.SetText(Out::SMO_NAM, ctx.Text(In::SMO));
  }
}

// Step 26. Each output table numbers its records from 1 in the order of
// conversion.
void RecordNumberGroup(RecordContext& ctx) {
  int& counter = ctx.IsNative ? ctx.state.NativesCounter : ctx.state.ExternalsCounter;
  ctx.SetInt(Out::N_ZAP, counter);
  ++counter;
}

// Step 27.
void FileTypeGroup(RecordContext& ctx) { ctx.SetText(Out::FILE_TYPE, ctx.IsNative ? "04" : "14"); }

// Step 28.
void DoctorGroup(RecordContext& ctx) { ctx.SetText(Out::DOCTOR, UpperCase(ctx.Text(In::DOKT))); }

// Step 29. Priorities 6 and 7 are urgent care; every other call is an
// emergency.
void FormOfCareGroup(RecordContext& ctx) {
  int priority = StrToIntDef(ctx.Text(In::PRTY), -1);
  ctx.SetInt(Out::FOR_POM, priority == 6 || priority == 7 ? 2 : 1);
}

// Step 30. Only trauma calls (reason 1) carry an injury kind.
void InjuryKindGroup(RecordContext& ctx) {
  if (ctx.ReasonCode != 1) return;
  int injury = RecodeNotingUnmapped(UnmappedKind::Injury, ctx.Text(In::TRAV), ctx.Ref(Lookup::tr_trag));
  if (injury == kMappedElsewhere) return;
  ctx.SetInt(Out::SP_TRAG, injury < 1 ? kUnknownInjury : injury);
}

// Step 31. The four stage times of the call, each counted from the call
// start (a stage before it in the day lies on the next day).
void StageTimesGroup(RecordContext& ctx) {
  if (!ctx.CallStartValid) return;
  static constexpr std::pair<In, Out> kStages[] = {
      {In::TPER, Out::SP_DT1}, {In::VYEZ, Out::SP_DT2}, {In::PRZD, Out::SP_DT3}, {In::TGSP, Out::SP_DT4}};
  for (const auto& [input, output] : kStages) {
    DateTime moment = StageMoment(ctx.Text(input), ctx.CallStart);
    if (moment > 1.0) ctx.SetText(output, FormatMinuteStamp(moment));
  }
}

// Step 32. Station 672 reports its final diagnosis as the first one too,
// and, for result 4, the end of the call as the hospitalisation time and date.
void Station672Group(RecordContext& ctx) {
  if (ctx.state.StationCode != kSpecialStation) return;
  ctx.SetText(Out::COD_MKB0, ctx.OutText(Out::COD_MKB));
  if (ctx.OutInt(Out::RSLT) != 4) return;
  ctx.SetText(Out::SP_TIME, ctx.OutText(Out::TIME_END));
  ctx.SetDate(Out::SP_DATE, ctx.OutDate(Out::DATE_END));
}

}  // namespace velt
