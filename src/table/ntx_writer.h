#pragma once
// Writes a Clipper NTX index file (1024-byte pages, B-tree built bottom-up
// from keys that are already in index order).
#include <cstddef>
#include <cstdint>
#include <string>

namespace velt {

struct NtxDescription {
  std::string keyExpression;  // stored in the header as written by the caller
  std::string condition;      // empty when none
  int keySize = 0;
  int keyDecimals = 0;
  bool unique = false;
  bool descending = false;
};

// Largest number of keys in one page for a key size.
int NtxMaxKeys(int keySize);

// `keys` holds `count` keys of keySize bytes each, back to back, in the order
// in which the index lists them (already reversed for a descending index);
// `recnos` the record number of each. Replaces the file at `path`. Throws
// Error when the file cannot be written.
void WriteNtxFile(const std::string& path, const NtxDescription& description, const char* keys,
                  const std::uint32_t* recnos, std::size_t count);

}  // namespace velt
