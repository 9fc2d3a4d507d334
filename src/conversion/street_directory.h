#pragma once
// The home-region streets of an open street reference, keyed by name,
// settlement and type, so that a call's street is found without walking
// every street of that name in the region (a common name such as ЛЕНИНА
// stands in hundreds of settlements).
//
// It answers exactly what a walk of the name's scope answers: the first
// record in index order whose upper-cased NAME equals the name, whose CODE
// begins with "74" and has the settlement code as its first 11 characters,
// and whose upper-cased SOCR equals the type. Records with one name keep
// their record order in the index, so the first such record met in a walk
// of the whole index is the one the scope walk would find; when the index
// holds every record, that is also the first met in record order, and the
// directory is built in that order, which reads the table front to back.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/platform.h"
#include "support/text_map.h"

namespace velt {

class Table;

class StreetDirectory {
 public:
  // Builds the directory from the table unless it was built from this very
  // open of it, reading it in its index order.
  void Refresh(Table& streets);

  // Sets code to the street's CODE; false (code untouched) when none.
  bool Find(std::string_view name, std::string_view settlementCode, std::string_view type, std::string& code);

  // Find in three steps, so that its two reads of memory that is seldom in
  // the cache overlap other work: Begin makes the key and asks for its
  // slot, Approach asks for the entry that the slot names, End answers as
  // Find would have answered at Begin.
  void Begin(std::string_view name, std::string_view settlementCode, std::string_view type);
  void Approach() const;
  bool End(std::string& code) const;

  std::size_t size() const { return size_; }

 private:
  void Build(Table& streets);
  // The slot that holds the key, or the empty slot where it would go.
  std::size_t Probe(std::string_view key) const { return Probe(key, TextHash{}(key)); }
  std::size_t Probe(std::string_view key, std::size_t hash) const;
  // An entry of the arena: the key's length and the code tail's (CODE
  // beyond its first 11 characters), two bytes each, then the key and the
  // tail.
  std::string_view KeyAt(std::uint32_t offset) const;
  std::string_view TailAt(std::uint32_t offset) const;

  const Table* table_ = nullptr;
  std::uint64_t serial_ = 0;
  int records_ = -1;
  // Adds the record's street unless an earlier record holds its key.
  void Add(const Table& streets, const char* record, std::string& key);

  // The slots, then the arena, in memory of their own (huge pages where
  // the system has them): a lookup reads one slot and one entry at random
  // places of some megabytes.
  platform::LookupMemory memory_;
  // A slot holds the entry's offset in the arena plus one (0: empty) and,
  // above it, 32 bits of the key's hash, so that a probe reads only the
  // entry it finds.
  std::uint64_t* slots_ = nullptr;
  std::size_t slotCount_ = 0;
  const char* arena_ = nullptr;
  // The arena while it is built.
  std::string building_;
  int nameField_ = -1, codeField_ = -1, socrField_ = -1;
  std::size_t size_ = 0;
  std::string key_;  // lookup key, kept for its capacity
  // The lookup that Begin started: its settlement code, and the key's hash
  // (no lookup: `begun_` false).
  bool begun_ = false;
  std::size_t hash_ = 0;
  std::string settlementCode_;
};

}  // namespace velt
