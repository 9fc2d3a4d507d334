#pragma once
#include "table/table.h"

namespace velt {

class RunSession;

// Turns the current record of the archive into one new record of an output
// table (OutNatives when isNative, else OutExternals), or into none when the
// profile filter skips it. Guarded field groups that fail are logged and the
// record is still posted; any other failure leaves the record unposted and
// reaches the caller. The session's archive record must stand on the
// archive's current record (ArchiveRecord::Load).
void ConvertCallRecord(RunSession& session, Table& output, bool isNative);

}  // namespace velt
