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
// of the whole index is the one the scope walk would find.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velt {

class Table;

class StreetDirectory {
 public:
  // Builds the directory from the table unless it was built from this very
  // open of it, reading it in its index order.
  void Refresh(Table& streets);

  // Sets code to the street's CODE; false (code untouched) when none.
  bool Find(std::string_view name, std::string_view settlementCode, std::string_view type,
            std::string& code) const;

  std::size_t size() const { return entries_.size(); }

 private:
  struct Entry {
    std::uint32_t offset;  // of the key in arena_; the code's tail follows it
    std::uint16_t keyLength;
    std::uint16_t tailLength;  // CODE beyond its first 11 characters
  };

  void Build(Table& streets);
  // The slot that holds the key, or the empty slot where it would go.
  std::size_t Probe(std::string_view key) const;
  std::string_view KeyOf(const Entry& e) const {
    return std::string_view(arena_).substr(e.offset, e.keyLength);
  }

  const Table* table_ = nullptr;
  std::uint64_t serial_ = 0;
  int records_ = -1;
  std::string arena_;
  std::vector<Entry> entries_;
  std::vector<std::uint32_t> slots_;  // entry number + 1; 0 for an empty slot
  mutable std::string key_;           // lookup key, kept for its capacity
};

}  // namespace velt
