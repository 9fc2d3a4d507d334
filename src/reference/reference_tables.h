#pragma once
// The reference and mapping tables of a run: each opened with a freshly
// built index and kept in its slot for the run, looked up by the converter.
#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "support/run_state.h"
#include "table/table.h"

namespace velt {

// The twelve slots, one per table name.
enum class Lookup {
  tr_from,
  tr_reas,
  tr_reas1,
  tr_rslt,
  tr_vid,
  tr_lpu,
  tr_trag,
  city,
  street,
  f002,
  tarif,
  lpu
};
inline constexpr int kLookupCount = 12;
const char* LookupName(Lookup slot);
// The table file a run reads for a slot, and the index file it rebuilds.
std::string ReferenceTablePath(const RunState& paths, Lookup slot);
std::string ReferenceIndexPath(const RunState& paths, Lookup slot);

// One line for each of the twelve table files that is not there, naming
// the file and what it is for; empty when all are there.
std::string MissingTables(const RunState& paths);

class ReferenceTables {
 public:
  // The tables are found in the folders that `paths` names (the mapping,
  // reference and index folders), read at each Open.
  explicit ReferenceTables(const RunState& paths);
  ~ReferenceTables();  // releases the tables in the order the end of a run uses
  ReferenceTables(const ReferenceTables&) = delete;
  ReferenceTables& operator=(const ReferenceTables&) = delete;

  // Opens the table called `name` (tr_* from the mapping folder, the others
  // from the reference folder), builds its index and fills its slot. Any
  // failure leaves the slot empty and raises "Не выполнена перекодировка
  // классификаторов. Выполните ее согласно инструкции к программе".
  void Open(const std::string& name);
  // The twelve in the order a run opens them, up to the first that fails
  // (the ones after it are not opened). Missing files are looked for first,
  // so that one message names them all.
  void OpenAll();

  Table* Get(Lookup slot) const { return slots_[static_cast<int>(slot)].get(); }
  // The table of a slot; an empty slot fails as the closed table it stands for.
  Table& Ref(Lookup slot) const;
  // Closes and frees one slot (nothing when empty), or all twelve in the
  // order the end of a run uses.
  void Release(Lookup slot);
  void ReleaseAll();

 private:
  const RunState& paths_;
  std::array<std::unique_ptr<Table>, kLookupCount> slots_;
};

// RecodeValue's code, and whether a mapping was found at all: a row for the
// key whose PAVK choice is filled in. A row with an empty PAVK (a value the
// user has not mapped yet) counts as no mapping; a row that maps to 0 is one.
struct RecodeResult {
  int code = 0;
  bool mapped = false;
};

// The PAVK code mapped to key in a mapping table, 0 when there is none: a
// walk of the key's scope, the last exact match in index order deciding.
// The run looks the same up through a MappingLookup.
int RecodeValue(std::string_view key, Table& table);
RecodeResult RecodeValueEx(std::string_view key, Table& table);

// The key field of a mapping table: VELTNAME for tr_lpu (known by its file
// path), VELTCODE for the others.
const char* MappingKeyField(const Table& table);
// The code of a PAVK choice "code - name": what stands before the first
// hyphen, less the blank in front of it; 0 when that is no integer.
int PavkCode(std::string_view pavk);

}  // namespace velt
