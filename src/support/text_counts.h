#pragma once
// Counts per text, for texts noted far more often than they are read (the
// record loop's unmapped values): each text is kept once, its count beside
// it in one block of memory, so that counting a text reads one slot and one
// entry, the text itself included.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "support/text_map.h"

namespace velt {

class TextCounts {
 public:
  void Add(std::string_view text) {
    if (2 * (size_ + 1) > slots_.size()) Grow();
    const std::uint64_t hash = TextHash{}(text);
    const std::size_t at = Probe(text, hash);
    if (slots_[at] != 0) {
      ++arena_[EntryOf(slots_[at])];
      return;
    }
    const std::size_t entry = arena_.size();
    arena_.resize(entry + 2 + (text.size() + 7) / 8, 0);
    arena_[entry] = 1;
    arena_[entry + 1] = text.size();
    if (!text.empty()) std::memcpy(&arena_[entry + 2], text.data(), text.size());
    slots_[at] = Tag(hash) | (entry + 1);
    ++size_;
  }

  std::int64_t Count(std::string_view text) const {
    if (slots_.empty()) return 0;
    const std::uint64_t slot = slots_[Probe(text, TextHash{}(text))];
    return slot == 0 ? 0 : static_cast<std::int64_t>(arena_[EntryOf(slot)]);
  }

  bool empty() const { return size_ == 0; }
  void clear() {
    arena_.clear();
    slots_.clear();
    size_ = 0;
  }

  // Each text with its count, in the order they were first noted.
  template <typename Visit>
  void ForEach(Visit visit) const {
    ForEachEntry([&](std::size_t entry) { visit(TextAt(entry), static_cast<std::int64_t>(arena_[entry])); });
  }

 private:
  // A slot holds its entry's place in the arena plus one (0: empty) in the
  // low 32 bits and the high 32 bits of the text's hash above them. An
  // entry is the count, the text's length, then the text in whole words.
  static std::uint64_t Tag(std::uint64_t hash) { return hash & 0xFFFFFFFF00000000ull; }
  static std::size_t EntryOf(std::uint64_t slot) { return static_cast<std::size_t>(slot & 0xFFFFFFFFu) - 1; }
  std::string_view TextAt(std::size_t entry) const {
    return std::string_view(reinterpret_cast<const char*>(&arena_[entry + 2]),
                            static_cast<std::size_t>(arena_[entry + 1]));
  }

  // The slot holding the text, or the empty slot where it would go.
  std::size_t Probe(std::string_view text, std::uint64_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
      const std::uint64_t slot = slots_[i];
      if (slot == 0 || (Tag(slot) == Tag(hash) && TextAt(EntryOf(slot)) == text)) return i;
    }
  }

  // At most half full, so that probes stay short.
  void Grow() {
    slots_.assign(std::max<std::size_t>(16, std::bit_ceil(4 * (size_ + 1))), 0);
    const std::size_t mask = slots_.size() - 1;
    ForEachEntry([&](std::size_t entry) {
      const std::uint64_t hash = TextHash{}(TextAt(entry));
      std::size_t i = hash & mask;
      while (slots_[i] != 0) i = (i + 1) & mask;
      slots_[i] = Tag(hash) | (entry + 1);
    });
  }
  template <typename Visit>
  void ForEachEntry(Visit visit) const {
    for (std::size_t entry = 0; entry < arena_.size(); entry += 2 + (arena_[entry + 1] + 7) / 8) visit(entry);
  }

  std::vector<std::uint64_t> arena_;
  std::vector<std::uint64_t> slots_;
  std::size_t size_ = 0;
};

}  // namespace velt
