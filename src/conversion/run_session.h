#pragma once
// One conversion run's own state, made when the run starts and released
// when it ends: the run's values (archive, output paths, station, record
// counters), the reference and mapping tables with what the run looks up in
// them, the values that found no mapping, and the working buffers of the
// record converter. The converter reaches it through its record context.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "conversion/address.h"
#include "conversion/identity_fields.h"
#include "conversion/problem_calls.h"
#include "conversion/record_context.h"
#include "conversion/reference_lookups.h"
#include "conversion/unmapped_report.h"
#include "reference/mapping_lookup.h"
#include "reference/reference_tables.h"
#include "support/run_state.h"

namespace velt {

class RunSession {
 public:
  // `state` gives the paths and settings.
  explicit RunSession(RunState& state);
  RunSession(const RunSession&) = delete;
  RunSession& operator=(const RunSession&) = delete;

  RunState& state;

  // Appends a stamped line to the event log and counts it.
  void Log(const std::string& message);
  std::int64_t logLines = 0;  // lines this run wrote

  // ---- The run's values.
  std::string inputFilePath;
  std::string inputFileName;
  std::string nativesFilePath;
  std::string externalsFilePath;
  int stationCode = 0;
  // The station's tariff category as last found, carried from run to run
  // by whoever holds the runs' tables (RunTables).
  int stationCategory = 0;
  int progressStep = 0;
  bool nativesOpen = false;
  bool externalsOpen = false;
  // Each output table numbers its records from 1 (N_ZAP).
  int nativesCounter = 1;
  int externalsCounter = 1;

  // ---- Tables and lookups.
  ReferenceTables tables;
  ReferenceLookups lookups{tables};
  // The PAVK code of a key in a mapping table (built at its first lookup),
  // noting a key that finds no mapping in `unmapped`.
  RecodeResult Recode(Lookup mapping, std::string_view key);
  int RecodeNoting(UnmappedKind kind, Lookup mapping, std::string_view key);
  UnmappedReport unmapped;
  // Every failed field group, as the event log has it, when gathered.
  ProblemCalls problems;
  bool gatherProblems = true;

  // The station's tariff category: the lpu reference's when it has the
  // station, else the one carried over from earlier records and runs.
  int StationCategory();
  // The log message of a failed station-672 group, which ends with the code.
  const std::string& Station672Message();

  // ---- The record being converted, and the converter's buffers that keep
  // their capacity from call to call.
  ArchiveRecord archive;
  OutputRecord output;
  AddressBuffers address;
  PolicyParts policy;

 private:
  std::array<MappingLookup, kLookupCount> mappings_;
  std::string station672Message_;
  int station672MessageFor_ = 0;
};

}  // namespace velt
