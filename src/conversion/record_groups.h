#pragma once
// The field groups of one record conversion, in the order in which the
// record converter runs them. Each fills its output fields from the archive
// record; guarding and logging are the converter's (record_converter.cpp).
// A guarded group returns false when one of its rules fails (a text that is
// not an integer, a date that does not exist); an Error raised inside it (a
// field the archive lacks) counts as a failure too.
#include <string>
#include <type_traits>

#include "conversion/record_context.h"

namespace velt {

// Identity, policy and document (identity_fields.cpp).
void PolicyGroup(RecordContext& ctx);
void NamesGroup(RecordContext& ctx);
bool BirthDateGroup(RecordContext& ctx);  // guarded
void SexGroup(RecordContext& ctx);
void IdentityDocumentGroup(RecordContext& ctx);  // guarded
void SnilsGroup(RecordContext& ctx);
// Address (address.cpp). The record loop runs it in two parts, the street
// code written at the end of the record, so that the street's lookup in a
// large directory overlaps the other groups.
void AddressGroup(RecordContext& ctx);
void BeginAddressGroup(RecordContext& ctx);
void EndAddressGroup(RecordContext& ctx);
// Identity again (identity_fields.cpp).
void InsurerCodeGroup(RecordContext& ctx);  // guarded
void CaseNumberGroup(RecordContext& ctx);
// Call timing, diagnosis, result and tariff (call_timing.cpp).
bool CallDateGroup(RecordContext& ctx);  // guarded
bool CallTimeGroup(RecordContext& ctx);  // guarded
void CallStartStep(RecordContext& ctx);
void EndTimeGroup(RecordContext& ctx);
void EndDateGroup(RecordContext& ctx);  // guarded
void DiagnosesGroup(RecordContext& ctx);
void ResultGroup(RecordContext& ctx);
void FixedValuesGroup(RecordContext& ctx);
void BrigadeGroup(RecordContext& ctx);
bool TariffGroup(RecordContext& ctx);  // guarded
// Special conditions and registry fields (special_conditions.cpp).
bool HospitalisationDateGroup(RecordContext& ctx);  // guarded
void ReceivingInstitutionGroup(RecordContext& ctx);
void ReasonGroup(RecordContext& ctx);
void RegistryGroup(RecordContext& ctx);  // its lookup guarded silently inside
void RecordNumberGroup(RecordContext& ctx);
void FileTypeGroup(RecordContext& ctx);
void DoctorGroup(RecordContext& ctx);
bool FormOfCareGroup(RecordContext& ctx);  // guarded, silent
void InjuryKindGroup(RecordContext& ctx);
void StageTimesGroup(RecordContext& ctx);
bool Station672Group(RecordContext& ctx);  // guarded

// Runs a group as one unit: a failure skips the rest of the group and,
// unless `message` is empty (a silent group), logs " Вызов №" + NGOD +
// message. Errors raised while logging reach the caller.
template <typename Group>
void RunGuarded(RecordContext& ctx, const std::string& message, Group&& group);

void LogCallFailure(RecordContext& ctx, const std::string& message);

template <typename Group>
void RunGuarded(RecordContext& ctx, const std::string& message, Group&& group) {
  bool done = false;
  try {
    if constexpr (std::is_void_v<decltype(group())>) {
      group();
      done = true;
    } else {
      done = group();
    }
  } catch (const Error&) {
    done = false;
  }
  if (!done && !message.empty()) LogCallFailure(ctx, message);
}

}  // namespace velt
