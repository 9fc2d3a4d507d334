#include "conversion/record_converter.h"

#include <string>
#include <type_traits>

#include "conversion/call_timing.h"
#include "conversion/record_context.h"
#include "conversion/record_groups.h"
#include "conversion/run_session.h"
#include "support/code_page.h"
#include "support/event_log.h"

namespace velt {

namespace {

// Calls of the profiles Х and Я (and the combined ХЯ) stay out of the
// intermediate tables.
bool SkippedByProfile(std::string_view profile) {
  return !profile.empty() && VELT_ANSI("ХЯ").find(profile) != std::string::npos;
}

// The second word ends in the Latin letters o and e, not Cyrillic ones: the
// line has always been written so, and readers of the log search for it so.
const std::string& CallTimeMessage() {
  static const std::string message = Utf8ToAnsi(" - неверн") + "oe" + Utf8ToAnsi(" время приема вызова ");
  return message;
}

// The table layer's refusal of a value too wide for its field; the field
// and the value go with it for the line that names the record.
[[noreturn]] void OutOfBounds(const OutputRecord& out) {
  throw Error("Translate error. Value out of bounds", ErrorKind::OutOfBounds, out.OutOfBoundsText());
}

}  // namespace

void LogCallFailure(RecordContext& ctx, const std::string& message) {
  std::string line = VELT_ANSI(" Вызов №");
  line += ctx.Text(In::NGOD);
  line += message;
  ctx.session.Log(line);
  if (!ctx.session.gatherProblems) return;
  auto textOf = [&ctx](In field) { return ctx.Has(field) ? ctx.Text(field) : std::string_view(); };
  ctx.session.problems.Add(ctx.in.RecNo(), ctx.Text(In::NGOD), CallDateText(textOf(In::DPRM)),
                           textOf(In::FAM), message);
}

namespace {

// The field groups of one call, in their order.
void ConvertGroups(RecordContext& ctx) {
  PolicyGroup(ctx);
  NamesGroup(ctx);
  RunGuarded(ctx, VELT_ANSI(": Неверная дата рождения."), [&] { return BirthDateGroup(ctx); });
  SexGroup(ctx);
  RunGuarded(ctx, VELT_ANSI(": Номер документа не соответствует указанному типу документа."),
             [&] { IdentityDocumentGroup(ctx); });
  SnilsGroup(ctx);
  BeginAddressGroup(ctx);
  RunGuarded(ctx, VELT_ANSI(": Невозможно определить код СМО."), [&] { InsurerCodeGroup(ctx); });
  CaseNumberGroup(ctx);

  RunGuarded(ctx, VELT_ANSI(" - неверная дата приема вызова "), [&] { return CallDateGroup(ctx); });
  RunGuarded(ctx, CallTimeMessage(), [&] { return CallTimeGroup(ctx); });
  CallStartStep(ctx);
  EndTimeGroup(ctx);
  RunGuarded(ctx, VELT_ANSI(": Не удалось вычислить дату конца вызова."), [&] { EndDateGroup(ctx); });
  DiagnosesGroup(ctx);
  ResultGroup(ctx);
  FixedValuesGroup(ctx);
  BrigadeGroup(ctx);
  ctx.session.lookups.ApproachStreet();
  RunGuarded(ctx, VELT_ANSI(": Не удалось вычислить TARIF или DATE_TAR."), [&] { return TariffGroup(ctx); });

  RunGuarded(ctx, VELT_ANSI(": Не удалось вычислить дату госпитализации."),
             [&] { return HospitalisationDateGroup(ctx); });
  ReceivingInstitutionGroup(ctx);
  ReasonGroup(ctx);
  RegistryGroup(ctx);  // guards its own f002 lookup, silently
  RecordNumberGroup(ctx);
  FileTypeGroup(ctx);
  DoctorGroup(ctx);
  RunGuarded(ctx, std::string(), [&] { return FormOfCareGroup(ctx); });  // silent
  InjuryKindGroup(ctx);
  StageTimesGroup(ctx);
  // No separator: the call number runs straight into this message.
  RunGuarded(ctx, ctx.session.Station672Message(), [&] { return Station672Group(ctx); });
}

}  // namespace

void ConvertCallRecord(RunSession& session, Table& output, bool isNative) {
  if (SkippedByProfile(session.archive.Text(In::PROF))) return;

  output.Append();
  OutputRecord& out = session.output;
  out.Reset(output.EditBuffer());
  RecordContext ctx(session, out, isNative);

  // The order is fixed: later groups take working values that earlier ones
  // left. The street code alone is looked up while the groups after the
  // address run; it is written (and an unknown street noted) whatever way
  // the record ends.
  try {
    ConvertGroups(ctx);
  } catch (...) {
    EndAddressGroup(ctx);
    throw;
  }
  EndAddressGroup(ctx);

  // The text fields lost # = | as they were written.
  if (out.OutOfBounds()) OutOfBounds(out);
  output.Post();
}

}  // namespace velt
