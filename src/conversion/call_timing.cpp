// Placeholder: the call timing, diagnosis, result and tariff groups.
#include "conversion/record_groups.h"

namespace velt {

void CallDateGroup(RecordContext&) {}
void CallTimeGroup(RecordContext&) {}
void CallStartStep(RecordContext&) {}
void EndTimeGroup(RecordContext&) {}
void EndDateGroup(RecordContext&) {}
void DiagnosesGroup(RecordContext&) {}
void ResultGroup(RecordContext&) {}
void FixedValuesGroup(RecordContext&) {}
void BrigadeGroup(RecordContext&) {}
void TariffGroup(RecordContext&) {}

}  // namespace velt
