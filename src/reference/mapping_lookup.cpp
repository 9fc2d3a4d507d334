#include "reference/mapping_lookup.h"

#include "support/text.h"

namespace velt {

void MappingLookup::Build(Table& table) {
  const int keyField = table.FieldByName(MappingKeyField(table)).Index();
  const int pavkField = table.FieldByName("PAVK").Index();
  answers_.clear();
  table_ = nullptr;
  const RecordRange records = table.All();
  for (std::size_t i = 0; i < records.size(); ++i) {
    // A record answers the key that its key field holds, when that key's
    // scope reaches it (a field that ends in a NUL is no key of its own);
    // among the records of one key the last in index order decides.
    const char* record = records[i];
    const std::string_view key = table.TextView(record, keyField);
    if (!records.KeyMatches(i, key)) continue;
    const std::string_view pavk = table.TextView(record, pavkField);
    RecodeResult& answer = answers_[std::string(key)];
    answer.code = PavkCode(pavk);
    answer.mapped = !TrimView(pavk).empty();
  }
  table_ = &table;
  serial_ = table.OpenSerial();
}

RecodeResult MappingLookup::Find(std::string_view key) const {
  const RecodeResult* found = answers_.Lookup(key);
  return found == nullptr ? RecodeResult{} : *found;
}

}  // namespace velt
