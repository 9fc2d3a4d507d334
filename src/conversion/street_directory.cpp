#include "conversion/street_directory.h"

#include <bit>
#include <functional>

#include "support/code_page.h"
#include "table/table.h"

namespace velt {
namespace {

constexpr std::string_view kHomeRegion = "74";
constexpr std::size_t kSettlementCodeLength = 11;
// NAME is a character field, at most 254 wide; a longer name is in no
// scope. The bound keeps every key's length within 16 bits.
constexpr std::size_t kLongestName = 0xFF00;

// name length (2 bytes), name, settlement code length (1 byte), settlement
// code, type: no two different triples give the same key.
void MakeKey(std::string& key, std::string_view name, std::string_view settlementCode, std::string_view type,
             bool upperCase) {
  key.clear();
  key += static_cast<char>(name.size() & 0xFF);
  key += static_cast<char>(name.size() >> 8);
  for (char c : name) key += upperCase ? UpperChar(c) : c;
  key += static_cast<char>(settlementCode.size());
  key += settlementCode;
  for (char c : type) key += upperCase ? UpperChar(c) : c;
}

}  // namespace

void StreetDirectory::Refresh(Table& streets) {
  if (table_ == &streets && serial_ == streets.OpenSerial() && records_ == streets.PhysicalCount()) return;
  Build(streets);
  table_ = &streets;
  serial_ = streets.OpenSerial();
  records_ = streets.PhysicalCount();
}

std::size_t StreetDirectory::Probe(std::string_view key) const {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = std::hash<std::string_view>{}(key)&mask;; i = (i + 1) & mask) {
    const std::uint32_t slot = slots_[i];
    if (slot == 0 || KeyOf(entries_[slot - 1]) == key) return i;
  }
}

void StreetDirectory::Build(Table& streets) {
  const int nameField = streets.FieldByName("NAME").Index();
  const int codeField = streets.FieldByName("CODE").Index();
  const int socrField = streets.FieldByName("SOCR").Index();
  arena_.clear();
  entries_.clear();
  // At most half full, so that probes stay short.
  slots_.assign(std::bit_ceil(2 * static_cast<std::size_t>(streets.PhysicalCount()) + 16), 0);

  std::string key;
  streets.CancelScope();
  for (streets.First(); !streets.Eof(); streets.Next()) {
    const std::string_view code = streets.TextView(codeField);
    const std::string_view name = streets.TextView(nameField);
    if (!code.starts_with(kHomeRegion) || name.size() > kLongestName) continue;
    const std::string_view settlement = code.substr(0, kSettlementCodeLength);
    MakeKey(key, name, settlement, streets.TextView(socrField), true);
    const std::size_t at = Probe(key);
    if (slots_[at] != 0) continue;  // an earlier record of the same street wins
    const std::string_view tail = code.substr(settlement.size());
    entries_.push_back({static_cast<std::uint32_t>(arena_.size()), static_cast<std::uint16_t>(key.size()),
                        static_cast<std::uint16_t>(tail.size())});
    arena_ += key;
    arena_ += tail;
    slots_[at] = static_cast<std::uint32_t>(entries_.size());
  }
  arena_.shrink_to_fit();
  entries_.shrink_to_fit();
}

bool StreetDirectory::Find(std::string_view name, std::string_view settlementCode, std::string_view type,
                           std::string& code) const {
  if (slots_.empty() || name.size() > kLongestName || settlementCode.size() > kSettlementCodeLength)
    return false;
  MakeKey(key_, name, settlementCode, type, false);
  const std::uint32_t slot = slots_[Probe(key_)];
  if (slot == 0) return false;
  const Entry& e = entries_[slot - 1];
  code.assign(settlementCode);
  code.append(arena_, e.offset + e.keyLength, e.tailLength);
  return true;
}

}  // namespace velt
