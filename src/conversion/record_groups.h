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
void PolicyGroup(RecordContext& ctx);            // 3
void NamesGroup(RecordContext& ctx);             // 4
bool BirthDateGroup(RecordContext& ctx);         // 5, guarded
void SexGroup(RecordContext& ctx);               // 6
void IdentityDocumentGroup(RecordContext& ctx);  // 7, guarded
void SnilsGroup(RecordContext& ctx);             // 8
// Address (address.cpp).
void AddressGroup(RecordContext& ctx);           // 9
// Identity again (identity_fields.cpp).
void InsurerCodeGroup(RecordContext& ctx);       // 10, guarded
void CaseNumberGroup(RecordContext& ctx);        // 11
// Call timing, diagnosis, result and tariff (call_timing.cpp).
bool CallDateGroup(RecordContext& ctx);          // 12, guarded
bool CallTimeGroup(RecordContext& ctx);          // 13, guarded
void CallStartStep(RecordContext& ctx);          // 14
void EndTimeGroup(RecordContext& ctx);           // 15
void EndDateGroup(RecordContext& ctx);           // 16, guarded
void DiagnosesGroup(RecordContext& ctx);         // 17
void ResultGroup(RecordContext& ctx);            // 18
void FixedValuesGroup(RecordContext& ctx);       // 19
void BrigadeGroup(RecordContext& ctx);           // 20
bool TariffGroup(RecordContext& ctx);            // 21, guarded
// Special conditions and registry fields (special_conditions.cpp).
bool HospitalisationDateGroup(RecordContext& ctx);   // 22, guarded
void ReceivingInstitutionGroup(RecordContext& ctx);  // 23
void ReasonGroup(RecordContext& ctx);                // 24
void RegistryGroup(RecordContext& ctx);              // 25 (its lookup guarded silently inside)
void RecordNumberGroup(RecordContext& ctx);          // 26
void FileTypeGroup(RecordContext& ctx);              // 27
void DoctorGroup(RecordContext& ctx);                // 28
bool FormOfCareGroup(RecordContext& ctx);            // 29, guarded, silent
void InjuryKindGroup(RecordContext& ctx);            // 30
void StageTimesGroup(RecordContext& ctx);            // 31
bool Station672Group(RecordContext& ctx);            // 32, guarded

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
