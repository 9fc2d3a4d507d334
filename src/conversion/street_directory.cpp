#include "conversion/street_directory.h"

#include <bit>
#include <cstring>
#include <functional>

#include "conversion/home_region.h"
#include "support/code_page.h"
#include "support/text_map.h"
#include "table/table.h"

namespace velt {
namespace {

constexpr std::size_t kSettlementCodeLength = 11;
// NAME is a character field, at most 254 wide; a longer name is in no
// scope. The bound keeps every key's length within 16 bits.
constexpr std::size_t kLongestName = 0xFF00;

// name length (2 bytes), name, settlement code length (1 byte), settlement
// code, type: no two different triples give the same key.
void MakeKey(std::string& key, std::string_view name, std::string_view settlementCode, std::string_view type,
             bool upperCase) {
  key.resize(2 + name.size() + 1 + settlementCode.size() + type.size());
  char* p = key.data();
  *p++ = static_cast<char>(name.size() & 0xFF);
  *p++ = static_cast<char>(name.size() >> 8);
  if (upperCase)
    UpperCaseInto(name, p);
  else
    std::memcpy(p, name.data(), name.size());
  p += name.size();
  *p++ = static_cast<char>(settlementCode.size());
  std::memcpy(p, settlementCode.data(), settlementCode.size());
  p += settlementCode.size();
  if (upperCase)
    UpperCaseInto(type, p);
  else
    std::memcpy(p, type.data(), type.size());
}

}  // namespace

void StreetDirectory::Refresh(Table& streets) {
  if (table_ == &streets && serial_ == streets.OpenSerial() && records_ == streets.PhysicalCount()) return;
  Build(streets);
  table_ = &streets;
  serial_ = streets.OpenSerial();
  records_ = streets.PhysicalCount();
}

std::string_view StreetDirectory::KeyAt(std::uint32_t offset) const {
  const auto* lengths = reinterpret_cast<const unsigned char*>(arena_ + offset);
  return std::string_view(arena_ + offset + 4, static_cast<std::size_t>(lengths[0] | lengths[1] << 8));
}

std::string_view StreetDirectory::TailAt(std::uint32_t offset) const {
  const auto* lengths = reinterpret_cast<const unsigned char*>(arena_ + offset);
  const std::size_t keyLength = static_cast<std::size_t>(lengths[0] | lengths[1] << 8);
  return std::string_view(arena_ + offset + 4 + keyLength,
                          static_cast<std::size_t>(lengths[2] | lengths[3] << 8));
}

std::size_t StreetDirectory::Probe(std::string_view key, std::size_t hash) const {
  const std::size_t mask = slotCount_ - 1;
  const std::uint64_t tag = static_cast<std::uint64_t>(hash >> 32) << 32;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    const std::uint64_t slot = slots_[i];
    if (slot == 0) return i;
    if ((slot & 0xFFFFFFFF00000000ull) == tag && KeyAt(static_cast<std::uint32_t>(slot - 1)) == key) return i;
  }
}

void StreetDirectory::Build(Table& streets) {
  nameField_ = streets.FieldByName("NAME").Index();
  codeField_ = streets.FieldByName("CODE").Index();
  socrField_ = streets.FieldByName("SOCR").Index();
  size_ = 0;
  // At most half full, so that probes stay short.
  slotCount_ = std::bit_ceil(2 * static_cast<std::size_t>(streets.PhysicalCount()) + 16);
  memory_ = platform::LookupMemory(slotCount_ * sizeof(std::uint64_t));
  slots_ = reinterpret_cast<std::uint64_t*>(memory_.data());
  building_.clear();
  arena_ = building_.data();

  std::string key;
  // Without moving the cursor.
  const RecordRange records = streets.All();
  if (records.size() == static_cast<std::size_t>(streets.PhysicalCount())) {
    for (std::size_t recno = 1; recno <= records.size(); ++recno)
      Add(streets, records.InRecordOrder(static_cast<std::uint32_t>(recno)), key);
  } else {
    for (std::size_t i = 0; i < records.size(); ++i) Add(streets, records[i], key);
  }

  // The finished arena goes behind the slots.
  const std::size_t slotBytes = slotCount_ * sizeof(std::uint64_t);
  platform::LookupMemory memory(slotBytes + building_.size());
  std::memcpy(memory.data(), memory_.data(), slotBytes);
  if (!building_.empty()) std::memcpy(memory.data() + slotBytes, building_.data(), building_.size());
  memory_ = std::move(memory);
  slots_ = reinterpret_cast<std::uint64_t*>(memory_.data());
  arena_ = memory_.data() + slotBytes;
  std::string().swap(building_);
}

void StreetDirectory::Add(const Table& streets, const char* record, std::string& key) {
  const std::string_view code = streets.TextView(record, codeField_);
  const std::string_view name = streets.TextView(record, nameField_);
  if (!code.starts_with(kHomeRegionPrefix) || name.size() > kLongestName) return;
  const std::string_view settlement = code.substr(0, kSettlementCodeLength);
  MakeKey(key, name, settlement, streets.TextView(record, socrField_), true);
  arena_ = building_.data();  // the arena moves as it grows
  const std::size_t at = Probe(key);
  if (slots_[at] != 0) return;  // an earlier record of the same street wins
  const std::string_view tail = code.substr(settlement.size());
  const auto offset = static_cast<std::uint32_t>(building_.size());
  building_ += static_cast<char>(key.size() & 0xFF);
  building_ += static_cast<char>(key.size() >> 8);
  building_ += static_cast<char>(tail.size() & 0xFF);
  building_ += static_cast<char>(tail.size() >> 8);
  building_ += key;
  building_ += tail;
  const std::uint64_t tag = static_cast<std::uint64_t>(TextHash{}(key) >> 32) << 32;
  slots_[at] = tag | (std::uint64_t{offset} + 1);
  ++size_;
}

bool StreetDirectory::Find(std::string_view name, std::string_view settlementCode, std::string_view type,
                           std::string& code) {
  Begin(name, settlementCode, type);
  return End(code);
}

void StreetDirectory::Begin(std::string_view name, std::string_view settlementCode, std::string_view type) {
  begun_ = slotCount_ != 0 && name.size() <= kLongestName && settlementCode.size() <= kSettlementCodeLength;
  if (!begun_) return;
  MakeKey(key_, name, settlementCode, type, false);
  settlementCode_.assign(settlementCode);
  hash_ = TextHash{}(key_);
  __builtin_prefetch(&slots_[hash_ & (slotCount_ - 1)]);
}

void StreetDirectory::Approach() const {
  if (!begun_) return;
  const std::uint64_t slot = slots_[hash_ & (slotCount_ - 1)];
  if (slot != 0) __builtin_prefetch(arena_ + (slot & 0xFFFFFFFFu) - 1);
}

bool StreetDirectory::End(std::string& code) const {
  if (!begun_) return false;
  const std::uint64_t slot = slots_[Probe(key_, hash_)];
  if (slot == 0) return false;
  code.assign(settlementCode_);
  code.append(TailAt(static_cast<std::uint32_t>(slot - 1)));
  return true;
}

}  // namespace velt
