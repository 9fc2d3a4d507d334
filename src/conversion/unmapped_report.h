#pragma once
// The archive values of the last conversion run that found no mapping: per
// classifier, the values that no mapping row (or only a row without a PAVK
// choice) recodes, and the settlements, streets and institutions of
// addresses that the references do not know, each with the number of calls
// that carried it. The station's staff fill the mapping tables from it.
//
// The record loop notes only misses, so a run over a well-mapped archive
// costs one lookup result check per field.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/text_counts.h"

namespace velt {

// In the order of the mapping menu, then the address parts.
enum class UnmappedKind {
  Reason,              // POVD through tr_reas
  InjuryReason,        // TRAV through tr_reas1
  Place,               // MEST through tr_from
  Result,              // REZL through tr_rslt
  CallKind,            // POVT through tr_vid
  Institution,         // KUDA through tr_lpu
  Injury,              // TRAV through tr_trag
  AddressInstitution,  // "+name" / "*name" in ULIC through tr_lpu
  Settlement,          // CITY in the city reference
  Street,              // ULIC in the street reference
};
inline constexpr int kUnmappedKindCount = 10;

// The kind's caption for the user (1251), e.g. "Повод для вызова (POVD)".
const std::string& UnmappedKindCaption(UnmappedKind kind);
// The mapping editor's kind (1, 11, 2, 3, 4, 5, 6) whose table maps these
// values; 0 for settlements and streets, which have no mapping table.
int MappingKindOf(UnmappedKind kind);

struct UnmappedEntry {
  UnmappedKind kind;
  std::string value;  // 1251, as it was looked up
  std::int64_t calls;
};

class UnmappedReport {
 public:
  void Clear();
  // One call carried `value` of `kind` and it found nothing. Blank values
  // are not noted: there is nothing to map.
  void Note(UnmappedKind kind, std::string_view value);
  bool Empty() const;
  std::int64_t Calls(UnmappedKind kind, std::string_view value) const;
  // By kind, then by value.
  std::vector<UnmappedEntry> Entries() const;
  // The values of the kinds that one mapping table maps (kind 5: both the
  // KUDA names and the address institutions), by value, each once.
  std::vector<std::string> ValuesForMappingKind(int mappingKind) const;

 private:
  // A hash per kind: the record loop notes values far more often than the
  // report is read (sorted then).
  std::array<TextCounts, kUnmappedKindCount> counts_;
};

// The report as a CSV file (support/csv.h) with the header row
// "kind,value,calls", its fields separated by `separator`.
std::string UnmappedReportCsv(const UnmappedReport& report, char separator);
// The start and the rows of several runs' reports in one file, each row led
// by the name of its archive.
std::string BatchReportStart(char separator);
std::string UnmappedReportRowsOf(const std::string& archive1251, const UnmappedReport& report,
                                 char separator);

}  // namespace velt
