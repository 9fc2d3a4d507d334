#pragma once
// What one record conversion works on: the archive record, the output record
// being built, the run's state and the working values that later field
// groups read from earlier ones.
#include <array>
#include <string>
#include <string_view>

#include "conversion/output_layout.h"
#include "support/date_time.h"
#include "support/error.h"
#include "support/run_state.h"
#include "table/table.h"

namespace velt {

// The archive fields that the converter reads.
enum class In : int {
  PROF, NPOLIS, SPOL, FAM, IMYA, OTCH, KOD1, DATA_R, POL, TDOKUM, NDOKUM, SNILS, CITY, ULIC, DOM, KVAR,
  SMO, NUMV, NGOD, DPRM, TPRM, TISP, DSHS, DS1, REZL, ISHOD, PRFB, COD_SPEC, TSTA, KUDA, POVD, TRAV,
  POVT, MEST, KILO, DOKT, PRTY, TPER, VYEZ, PRZD, TGSP,
  Count
};
const char* ArchiveFieldName(In field);

// Positions of the archive's fields, resolved once per opened archive table
// (-1 for a field the archive lacks).
class ArchiveFields {
 public:
  void Resolve(const Table& input);
  // True when already resolved for this very open of the table.
  bool ResolvedFor(const Table& input) const;
  int Pos(In field) const { return pos_[static_cast<int>(field)]; }
  bool Has(In field) const { return Pos(field) >= 0; }

 private:
  std::array<int, static_cast<int>(In::Count)> pos_{};
  const Table* table_ = nullptr;
  std::uint64_t serial_ = 0;
};

struct RecordContext {
  RecordContext(Table& inputTable, Table& outputTable, bool isNative, RunState& runState,
                const ArchiveFields& fields)
      : input(inputTable), output(outputTable), IsNative(isNative), state(runState), in(fields) {}

  Table& input;
  Table& output;
  bool IsNative;
  RunState& state;
  const ArchiveFields& in;

  // Working values of one record.
  bool CallStartValid = false;
  DateTime CallStart = 0;
  int StartHour = 0;
  int EndHour = 25;
  int ReasonCode = 0;

  // ---- The archive record. Text is right-trimmed and valid while the
  // record is current. Reading a field the archive lacks raises the table's
  // "Field 'X' not found".
  bool Has(In field) const { return in.Has(field); }
  std::string_view Text(In field) const;
  std::string String(In field) const { return std::string(Text(field)); }

  // ---- The output record.
  void SetText(Out field, std::string_view value) { output.SetString(static_cast<int>(field), value); }
  void SetInt(Out field, int value) { output.SetInteger(static_cast<int>(field), value); }
  void SetFloat(Out field, double value) { output.SetFloat(static_cast<int>(field), value); }
  void SetDate(Out field, DateTime value) { output.SetDateTime(static_cast<int>(field), value); }
  std::string OutText(Out field) const { return output.AsString(static_cast<int>(field)); }
  int OutInt(Out field) const { return output.AsInteger(static_cast<int>(field)); }
  DateTime OutDate(Out field) const { return output.AsDateTime(static_cast<int>(field)); }

  // ---- Reference and mapping tables of the run.
  Table& Ref(Lookup slot) const;

 private:
  // Numeric and date fields of the archive as text, kept so that Text can
  // hand out a view of them.
  mutable std::array<std::string, static_cast<int>(In::Count)> rendered_;
};

// A failure of a conversion rule inside a field group (a text that is not an
// integer, a date that does not exist). Guarded groups catch it with every
// other Error.
class GroupFailure : public Error {
 public:
  GroupFailure() : Error("group failure") {}
};

// The integer in a text by the program's rule, or GroupFailure.
int IntegerOrFail(std::string_view text);

}  // namespace velt
