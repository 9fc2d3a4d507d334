// Placeholder: the special-conditions and registry groups.
#include "conversion/record_groups.h"

namespace velt {

void HospitalisationDateGroup(RecordContext&) {}
void ReceivingInstitutionGroup(RecordContext&) {}
void ReasonGroup(RecordContext&) {}
void RegistryGroup(RecordContext&) {}
void RecordNumberGroup(RecordContext&) {}
void FileTypeGroup(RecordContext&) {}
void DoctorGroup(RecordContext&) {}
void FormOfCareGroup(RecordContext&) {}
void InjuryKindGroup(RecordContext&) {}
void StageTimesGroup(RecordContext&) {}
void Station672Group(RecordContext&) {}

}  // namespace velt
