#include "conversion/record_converter.h"

#include <algorithm>
#include <array>
#include <string>

#include "conversion/record_context.h"
#include "conversion/record_groups.h"
#include "support/char_set.h"
#include "support/code_page.h"
#include "support/event_log.h"
#include "support/run_state.h"

namespace velt {

namespace {

// Text fields that may carry the receiving system's separators # = | from
// the archive; they are dropped just before the record is posted.
constexpr std::array<Out, 23> kCleanedFields = {
    Out::SPOLIC,  Out::NUMBER,    Out::FAMILY,   Out::NAME,       Out::FATHER,    Out::DOCTYPE,
    Out::DOCSER,  Out::DOCNUM,    Out::SNILS,    Out::CITYSTREET, Out::IND_HOUSE, Out::IND_ROOM,
    Out::COD_SMO, Out::NHISTORY,  Out::TIME_BEG, Out::TIME_END,   Out::COD_MKB0,  Out::COD_MKB,
    Out::SP_TIME, Out::OKATO_OMS, Out::SMO_NAM,  Out::FILE_TYPE,  Out::DOCTOR};

// The field positions of the archive, resolved again only when another table
// or a new open of it comes in.
const ArchiveFields& FieldsOf(const Table& input) {
  static ArchiveFields fields;
  if (!fields.ResolvedFor(input)) fields.Resolve(input);
  return fields;
}

// Calls of the profiles Х and Я (and the combined ХЯ) stay out of the
// intermediate tables.
bool SkippedByProfile(std::string_view profile) {
  return !profile.empty() && W("ХЯ").find(profile) != std::string::npos;
}

// The station 672 message ends with the station code; it is built again only
// when the code changes, not for every record.
const std::string& Station672Message(int stationCode) {
  static std::string message;
  static int builtFor = 0;
  if (message.empty() || builtFor != stationCode) {
    message = W("Ошибка вычисления спецусловий для станции СМП №") + std::to_string(stationCode);
    builtFor = stationCode;
  }
  return message;
}

// The second word ends in the Latin letters o and e, not Cyrillic ones: the
// line has always been written so, and readers of the log search for it so.
const std::string& CallTimeMessage() {
  static const std::string message = Utf8ToAnsi(" - неверн") + "oe" + Utf8ToAnsi(" время приема вызова ");
  return message;
}

void DropJunkChars(RecordContext& ctx) {
  for (Out field : kCleanedFields) {
    const int index = static_cast<int>(field);
    const std::string_view text = ctx.output.TextView(index);
    // Writing a clean text back would store the very same bytes.
    if (std::none_of(text.begin(), text.end(), [](char c) { return FieldJunkChars.Contains(c); })) continue;
    ctx.output.SetString(index, FilterChars(text, FieldJunkChars, kDrop));
  }
}

}  // namespace

void LogCallFailure(RecordContext& ctx, const std::string& message) {
  std::string line = W(" Вызов №");
  line += ctx.Text(In::NGOD);
  line += message;
  AddToLog(ctx.state.LogFilePath, line, true, kStampPattern);
}

void ConvertCallRecord(Table& input, Table& output, bool isNative) {
  RecordContext ctx(input, output, isNative, State(), FieldsOf(input));
  if (SkippedByProfile(ctx.Text(In::PROF))) return;

  output.Append();
  output.Edit();

  // The order is fixed: later groups read output fields and working values
  // that earlier ones wrote.
  PolicyGroup(ctx);
  NamesGroup(ctx);
  RunGuarded(ctx, W(": Неверная дата рождения."), [&] { BirthDateGroup(ctx); });
  SexGroup(ctx);
  RunGuarded(ctx, W(": Номер документа не соответствует указанному типу документа."),
             [&] { IdentityDocumentGroup(ctx); });
  SnilsGroup(ctx);
  AddressGroup(ctx);
  RunGuarded(ctx, W(": Невозможно определить код СМО."), [&] { InsurerCodeGroup(ctx); });
  CaseNumberGroup(ctx);

  RunGuarded(ctx, W(" - неверная дата приема вызова "), [&] { CallDateGroup(ctx); });
  RunGuarded(ctx, CallTimeMessage(), [&] { CallTimeGroup(ctx); });
  CallStartStep(ctx);
  EndTimeGroup(ctx);
  RunGuarded(ctx, W(": Не удалось вычислить дату конца вызова."), [&] { EndDateGroup(ctx); });
  DiagnosesGroup(ctx);
  ResultGroup(ctx);
  FixedValuesGroup(ctx);
  BrigadeGroup(ctx);
  RunGuarded(ctx, W(": Не удалось вычислить TARIF или DATE_TAR."), [&] { TariffGroup(ctx); });

  RunGuarded(ctx, W(": Не удалось вычислить дату госпитализации."), [&] { HospitalisationDateGroup(ctx); });
  ReceivingInstitutionGroup(ctx);
  ReasonGroup(ctx);
  RegistryGroup(ctx);  // guards its own f002 lookup, silently
  RecordNumberGroup(ctx);
  FileTypeGroup(ctx);
  DoctorGroup(ctx);
  RunGuarded(ctx, std::string(), [&] { FormOfCareGroup(ctx); });  // silent
  InjuryKindGroup(ctx);
  StageTimesGroup(ctx);
  // No separator: the call number runs straight into this message.
  RunGuarded(ctx, Station672Message(ctx.state.StationCode), [&] { Station672Group(ctx); });

  DropJunkChars(ctx);
  output.Post();
}

}  // namespace velt
