#pragma once
// A mapping table's answers for one run: each key of the table with what
// RecodeValueEx gives for it (the last exact match in index order among the
// records of the key's scope), found in one walk of the index, so that a
// lookup is one hash probe and moves no cursor.
#include <cstdint>
#include <string_view>

#include "reference/reference_tables.h"
#include "support/text_map.h"
#include "table/table.h"

namespace velt {

class MappingLookup {
 public:
  // From the table as it stands now. A table without its key field or PAVK
  // fails as the engine reports it ("Field 'PAVK' not found").
  void Build(Table& table);
  // Built from this very open of the table.
  bool BuiltFor(const Table& table) const { return table_ == &table && serial_ == table.OpenSerial(); }
  // No mapping at all for a key the table does not hold.
  RecodeResult Find(std::string_view key) const;

 private:
  TextMap<RecodeResult> answers_;
  const Table* table_ = nullptr;
  std::uint64_t serial_ = 0;
};

}  // namespace velt
