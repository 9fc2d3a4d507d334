#pragma once
// The reference and mapping tables of a run: opened with a freshly built
// index each, kept in the process-wide slots, looked up by the converter.
#include <string>
#include <string_view>

#include "support/run_state.h"
#include "table/table.h"

namespace velt {

// Opens the table called `name` (tr_* from the mapping folder, the others
// from the reference folder), builds its index and fills its slot. On
// failure the user is told "Не выполнена перекодировка классификаторов.
// Выполните ее согласно инструкции к программе", the slot stays empty and
// the result is false.
bool OpenReferenceTable(const std::string& name);

// The PAVK code mapped to key in a mapping table, 0 when there is none.
int RecodeValue(std::string_view key, Table& table);

// RecodeValue's code, and whether a mapping was found at all: a row for the
// key whose PAVK choice is filled in. A row with an empty PAVK (a value the
// user has not mapped yet) counts as no mapping; a row that maps to 0 is one.
struct RecodeResult {
  int code = 0;
  bool mapped = false;
};
RecodeResult RecodeValueEx(std::string_view key, Table& table);

// Closes and frees the twelve tables in the order the end of a run uses.
void ReleaseReferenceTables();

}  // namespace velt
