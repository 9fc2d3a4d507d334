#pragma once
// One index of an open table, held in memory: the keys of the records that
// satisfy its condition, in index order, with their record numbers. Lookups
// and scopes are binary searches over it; the table keeps it up to date when
// records are appended, changed or deleted.
//
// Keys are the bytes the index file stores: the key expression's result on
// the 1251 record, translated to 866 for an OEM table, so that they sort as
// they do in the file. A numeric key expression sorts by value. Records with
// equal keys follow in ascending record order, descending indexes included.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "table/dbf_file.h"
#include "table/xbase_expr.h"

namespace velt {

class TableIndex {
 public:
  static constexpr std::size_t npos = static_cast<std::size_t>(-1);

  TableIndex(xbase::Expression key, std::optional<xbase::Expression> condition, bool descending, bool unique,
             bool oemKeys);

  // Builds from every record of a table held in memory (record n at
  // (n-1)*recordLength), leaving out deleted records.
  void Build(const char* records, std::size_t recordLength, std::uint32_t count);
  // The same record by record (from a file read in blocks): keys are
  // gathered, then sorted once when the build finishes.
  void BeginBuild(std::uint32_t expected);
  void AddRecord(const char* record, std::uint32_t recno);
  void FinishBuild();
  // Writes the keys as a Clipper NTX file.
  void WriteNtx(const std::string& path, const std::string& keyExpression,
                const std::string& condition) const;

  std::size_t Size() const { return recnos_.size(); }
  std::uint32_t RecNo(std::size_t position) const { return recnos_[position]; }
  int KeyWidth() const { return width_; }
  bool Numeric() const { return numeric_; }
  // Stored key at a position (the keyed bytes, 866 for an OEM table).
  std::string_view KeyAt(std::size_t position) const;

  // Positions [first, last) of the keys from low to high, trailing blanks
  // ignored (1251 text; a numeric index reads them as numbers). A key that
  // cannot match gives an empty range.
  std::pair<std::size_t, std::size_t> Range(std::string_view low, std::string_view high) const;
  // Whether the entry at a position is among those that Range(key, key) gives.
  bool KeyMatches(std::size_t position, std::string_view key) const;

  // The position of a record's entry, npos when the index does not hold it.
  std::size_t Find(const char* record, std::uint32_t recno) const;
  // Where a record with these bytes stands or would stand.
  std::size_t LowerBound(const char* record, std::uint32_t recno) const;
  // Adds the record when it is not deleted and satisfies the condition; its
  // position, or npos when it was left out.
  std::size_t Insert(const char* record, std::uint32_t recno);
  // Removes the entry of a record whose bytes were `record`.
  void Remove(const char* record, std::uint32_t recno);
  void Clear();

 private:
  struct Probe {
    std::string key;
    std::uint64_t head = 0;  // key bytes 0-7, big-endian
    double number = 0;
  };
  bool Accepts(const char* record) const;
  void MakeKey(const char* record, Probe& probe) const;
  // <0, 0, >0 as the entry at position sorts before, with, after the probe
  // (record numbers not considered).
  int CompareAt(std::size_t position, const Probe& probe) const;
  // The first position from `from` on whose entry sorts after the probe
  // (upper) or not before it (lower). A search that starts past 0 gallops,
  // since its answer is near: the end of a scope after its start.
  std::size_t SearchKey(const Probe& probe, bool upper, std::size_t from = 0) const;
  std::size_t SearchEntry(const Probe& probe, std::uint32_t recno) const;
  bool ScopeProbe(std::string_view text, Probe& probe, bool& tooLong) const;
  void InsertAt(std::size_t position, const Probe& probe, std::uint32_t recno);
  void EraseAt(std::size_t position);

  xbase::Expression key_;
  std::optional<xbase::Expression> condition_;
  bool descending_;
  bool unique_;
  bool oemKeys_;
  bool numeric_;
  int width_;
  dbf::Buffer keys_;  // width_ bytes per entry, in index order
  std::vector<std::uint32_t> recnos_;
  std::vector<double> numbers_;  // numeric indexes only
  // The first eight bytes of each key, as numbers: a search narrows on this
  // dense array before it reads whole keys. Made at the first search, so
  // that it does not add to the memory of building and writing the index.
  mutable std::vector<std::uint64_t> heads_;
  // Every 16th head: small enough to stay in the processor's cache, so a
  // search reads only a few lines of the large arrays.
  mutable std::vector<std::uint64_t> summary_;
  mutable Probe scratch_, lowProbe_, highProbe_;
  // Keys in record order while a build goes on.
  dbf::Buffer built_;
  std::vector<std::uint32_t> recnoOf_;
  std::vector<double> numberOf_;
};

}  // namespace velt
