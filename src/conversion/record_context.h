#pragma once
// What one record conversion works on: the archive record decoded once, the
// output record being built, the run's session and the working values that
// later field groups take from earlier ones.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/output_record.h"
#include "support/date_time.h"
#include "support/error.h"
#include "table/table.h"

namespace velt {

class RunSession;
struct InsurerRow;

// The archive fields that the converter reads.
enum class In : int {
  PROF,
  NPOLIS,
  SPOL,
  FAM,
  IMYA,
  OTCH,
  KOD1,
  DATA_R,
  POL,
  TDOKUM,
  NDOKUM,
  SNILS,
  CITY,
  ULIC,
  DOM,
  KVAR,
  SMO,
  NUMV,
  NGOD,
  DPRM,
  TPRM,
  TISP,
  DSHS,
  DS1,
  REZL,
  ISHOD,
  PRFB,
  COD_SPEC,
  TSTA,
  KUDA,
  POVD,
  TRAV,
  POVT,
  MEST,
  KILO,
  DOKT,
  PRTY,
  TPER,
  VYEZ,
  PRZD,
  TGSP,
  Count
};
const char* ArchiveFieldName(In field);
// The first field that every call needs and `archive` lacks (all but the
// optional NPOLIS, SPOL, KOD1, DATA_R, ISHOD and COD_SPEC); nullptr when it
// has them all.
const char* MissingArchiveField(const Table& archive);

// The current record of the archive: field positions resolved once per
// opened archive, each field decoded the first time a call asks for it.
class ArchiveRecord {
 public:
  // Positions of the archive's fields (-1 for a field it lacks), unless they
  // were resolved for this very open of the table.
  void Resolve(Table& archive);
  // The archive's current record becomes the one decoded: its character
  // fields are trimmed at once, the others rendered when first asked for.
  void Load();

  bool Has(In field) const { return pos_[Slot(field)] >= 0; }
  // The field as text: a character field right-trimmed, others as the table
  // reads them as text. Valid until the next Load. A field the archive lacks
  // raises the table's own "Field 'X' not found".
  std::string_view Text(In field) const {
    const int slot = Slot(field);
    return text_[slot] || decodedAt_[slot] == generation_ ? views_[slot] : Decode(field);
  }
  // The field as the table reads it as an integer.
  int Integer(In field) const;
  // The physical number of the record decoded (0 before the first Load).
  std::int64_t RecNo() const { return table_ != nullptr ? table_->RecNo() : 0; }

 private:
  static int Slot(In field) { return static_cast<int>(field); }
  std::string_view Decode(In field) const;

  Table* table_ = nullptr;
  std::uint64_t serial_ = 0;
  const char* record_ = nullptr;
  std::array<int, static_cast<int>(In::Count)> pos_{};
  // Character fields: where they stand in the record.
  std::array<bool, static_cast<int>(In::Count)> text_{};
  std::array<int, static_cast<int>(In::Count)> offset_{};
  std::array<int, static_cast<int>(In::Count)> width_{};
  std::vector<int> textSlots_;
  // Decoded views, valid for the record of `generation_`.
  std::uint32_t generation_ = 0;
  mutable std::array<std::uint32_t, static_cast<int>(In::Count)> decodedAt_{};
  mutable std::array<std::string_view, static_cast<int>(In::Count)> views_{};
  // Numbers and dates only exist as text once rendered.
  mutable std::array<std::string, static_cast<int>(In::Count)> rendered_;
};

struct RecordContext {
  RecordContext(RunSession& runSession, OutputRecord& outputRecord, bool isNative);

  RunSession& session;
  const ArchiveRecord& in;
  OutputRecord& out;
  bool isNative;

  // ---- Working values of one record.
  bool callStartValid = false;
  DateTime callStart = 0;
  int startHour = 0;
  int startMinute = 0;
  int endHour = 25;
  int reasonCode = 0;
  // DATE_BEG, DATE_END, TIME_BEG and TIME_END as the record holds them
  // (blank: not written), the result code and the specialty as they read
  // back from RSLT and COD_SPEC.
  bool dateBegWritten = false;
  DateTime dateBeg = 0;
  DateParts callDay;  // DATE_BEG's parts, when written
  DateTime dateEnd = 0;
  char timeBeg[5] = {};
  bool timeEndWritten = false;
  char timeEnd[5] = {};
  int result = 0;
  int specialty = 0;
  // The insurer of the call's SMO, looked up once.
  const InsurerRow* insurer = nullptr;

  bool Has(In field) const { return in.Has(field); }
  std::string_view Text(In field) const { return in.Text(field); }
};

// A failure of a conversion rule inside a field group (a text that is not an
// integer, a date that does not exist). Guarded groups catch it with every
// other Error.
class GroupFailure : public Error {
 public:
  GroupFailure() : Error("group failure") {}
};

}  // namespace velt
