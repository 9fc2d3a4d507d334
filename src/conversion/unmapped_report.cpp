#include "conversion/unmapped_report.h"

#include <algorithm>

#include "support/code_page.h"
#include "support/csv.h"
#include "support/text.h"

namespace velt {
namespace {

int Slot(UnmappedKind kind) { return static_cast<int>(kind); }

}  // namespace

const std::string& UnmappedKindCaption(UnmappedKind kind) {
  switch (kind) {
    case UnmappedKind::Reason:
      return VELT_ANSI("Повод для вызова (POVD)");
    case UnmappedKind::InjuryReason:
      return VELT_ANSI("Повод по причине несчастного случая (TRAV)");
    case UnmappedKind::Place:
      return VELT_ANSI("Место вызова (MEST)");
    case UnmappedKind::Result:
      return VELT_ANSI("Результат выезда (REZL)");
    case UnmappedKind::CallKind:
      return VELT_ANSI("Вид вызова (POVT)");
    case UnmappedKind::Institution:
      return VELT_ANSI("ЛПУ госпитализации (KUDA)");
    case UnmappedKind::Injury:
      return VELT_ANSI("Причина несчастного случая (TRAV)");
    case UnmappedKind::AddressInstitution:
      return VELT_ANSI("ЛПУ в адресе (ULIC)");
    case UnmappedKind::Settlement:
      return VELT_ANSI("Населенный пункт (CITY)");
    case UnmappedKind::Street:
      return VELT_ANSI("Улица (ULIC)");
  }
  return VELT_ANSI("?");
}

int MappingKindOf(UnmappedKind kind) {
  switch (kind) {
    case UnmappedKind::Reason:
      return 1;
    case UnmappedKind::InjuryReason:
      return 11;
    case UnmappedKind::Place:
      return 2;
    case UnmappedKind::Result:
      return 3;
    case UnmappedKind::CallKind:
      return 4;
    case UnmappedKind::Institution:
    case UnmappedKind::AddressInstitution:
      return 5;
    case UnmappedKind::Injury:
      return 6;
    case UnmappedKind::Settlement:
    case UnmappedKind::Street:
      return 0;
  }
  return 0;
}

void UnmappedReport::Clear() {
  for (auto& counts : counts_) counts.clear();
}

void UnmappedReport::Note(UnmappedKind kind, std::string_view value) {
  if (TrimView(value).empty()) return;
  counts_[Slot(kind)].Add(value);
}

bool UnmappedReport::Empty() const {
  return std::all_of(counts_.begin(), counts_.end(), [](const auto& counts) { return counts.empty(); });
}

std::int64_t UnmappedReport::Calls(UnmappedKind kind, std::string_view value) const {
  return counts_[Slot(kind)].Count(value);
}

std::vector<UnmappedEntry> UnmappedReport::Entries() const {
  std::vector<UnmappedEntry> entries;
  for (int slot = 0; slot < kUnmappedKindCount; ++slot) {
    const std::size_t first = entries.size();
    counts_[slot].ForEach([&](std::string_view value, std::int64_t calls) {
      entries.push_back({static_cast<UnmappedKind>(slot), std::string(value), calls});
    });
    std::sort(entries.begin() + static_cast<std::ptrdiff_t>(first), entries.end(),
              [](const UnmappedEntry& a, const UnmappedEntry& b) { return a.value < b.value; });
  }
  return entries;
}

std::vector<std::string> UnmappedReport::ValuesForMappingKind(int mappingKind) const {
  std::vector<std::string> values;
  for (int slot = 0; slot < kUnmappedKindCount; ++slot) {
    if (mappingKind == 0 || MappingKindOf(static_cast<UnmappedKind>(slot)) != mappingKind) continue;
    counts_[slot].ForEach([&](std::string_view value, std::int64_t) { values.emplace_back(value); });
  }
  std::sort(values.begin(), values.end());
  values.erase(std::unique(values.begin(), values.end()), values.end());
  return values;
}

namespace {

// The rows of the report, each led by `lead` (a field and its separator, or
// nothing).
std::string ReportRows(const UnmappedReport& report, const std::string& lead, char separator) {
  std::string rows;
  for (const UnmappedEntry& entry : report.Entries()) {
    rows += lead + CsvLine({CsvField(AnsiToUtf8(UnmappedKindCaption(entry.kind)), separator),
                            CsvField(AnsiToUtf8(entry.value), separator), std::to_string(entry.calls)},
                           separator);
  }
  return rows;
}

}  // namespace

std::string UnmappedReportCsv(const UnmappedReport& report, char separator) {
  return CsvFileStart({"kind", "value", "calls"}, separator) + ReportRows(report, "", separator);
}

std::string BatchReportStart(char separator) {
  return CsvFileStart({"archive", "kind", "value", "calls"}, separator);
}

std::string UnmappedReportRowsOf(const std::string& archive1251, const UnmappedReport& report,
                                 char separator) {
  return ReportRows(report, CsvField(AnsiToUtf8(archive1251), separator) + separator, separator);
}

}  // namespace velt
