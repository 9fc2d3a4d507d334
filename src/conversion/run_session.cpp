#include "conversion/run_session.h"

#include "support/code_page.h"
#include "support/event_log.h"

namespace velt {

RunSession::RunSession(RunState& runState) : state(runState), tables(runState) {}

void RunSession::Log(const std::string& message) {
  AddToLog(state.logFilePath, message, true, kStampPattern);
  ++logLines;
}

RecodeResult RunSession::Recode(Lookup mapping, std::string_view key) {
  MappingLookup& lookup = mappings_[static_cast<int>(mapping)];
  Table& table = tables.Ref(mapping);
  if (!lookup.BuiltFor(table)) lookup.Build(table);
  return lookup.Find(key);
}

int RunSession::RecodeNoting(UnmappedKind kind, Lookup mapping, std::string_view key) {
  const RecodeResult result = Recode(mapping, key);
  if (!result.mapped) unmapped.Note(kind, key);
  return result.code;
}

int RunSession::StationCategory() {
  int category = 0;
  // Found again in every record it is the same; it outlives the run.
  if (lookups.StationCategory(stationCode, category)) stationCategory = category;
  return stationCategory;
}

const std::string& RunSession::Station672Message() {
  if (station672Message_.empty() || station672MessageFor_ != stationCode) {
    station672Message_ =
        VELT_ANSI("Ошибка вычисления спецусловий для станции СМП №") + std::to_string(stationCode);
    station672MessageFor_ = stationCode;
  }
  return station672Message_;
}

}  // namespace velt
