#pragma once
// A hash map keyed by text and looked up by a view, without a string made of
// the key: the record loop looks values up that it holds as views.
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velt {

// Eight bytes at a time, each word mixed in by a multiply: quick on the
// short keys of the record loop and spread well enough for a hash table.
struct TextHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const noexcept {
    std::uint64_t hash = 0x9E3779B97F4A7C15ull ^ text.size();
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
      std::uint64_t word;
      std::memcpy(&word, text.data() + i, 8);
      hash = (hash ^ word) * 0xBF58476D1CE4E5B9ull;
      hash ^= hash >> 31;
    }
    std::uint64_t tail = 0;
    for (std::size_t k = 0; i + k < text.size(); ++k)
      tail |= static_cast<std::uint64_t>(static_cast<unsigned char>(text[i + k])) << (8 * k);
    hash = (hash ^ tail) * 0x94D049BB133111EBull;
    return static_cast<std::size_t>(hash ^ (hash >> 29));
  }
};

// Open addressing over a power-of-two slot array: a lookup is one hash, one
// slot read and, when the slot's 32 bits of hash agree, one key compare;
// no division and no node to chase, which matters on the record loop where
// several lookups are made per call. Entries live in insertion order in a
// deque, so references to values stay valid while the map grows.
template <typename T>
class TextMap {
 public:
  using value_type = std::pair<const std::string, T>;
  using iterator = typename std::deque<value_type>::iterator;
  using const_iterator = typename std::deque<value_type>::const_iterator;

  iterator begin() { return entries_.begin(); }
  iterator end() { return entries_.end(); }
  const_iterator begin() const { return entries_.begin(); }
  const_iterator end() const { return entries_.end(); }
  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }

  void clear() {
    entries_.clear();
    slots_.clear();
  }

  iterator find(std::string_view key) {
    const Slot* slot = Find(key);
    return slot == nullptr ? end() : At(slot->index);
  }
  const_iterator find(std::string_view key) const {
    const Slot* slot = Find(key);
    return slot == nullptr ? end() : At(slot->index);
  }
  // The value of the key, or null: no iterator is made.
  const T* Lookup(std::string_view key) const {
    const Slot* slot = Find(key);
    return slot == nullptr ? nullptr : &slot->entry->second;
  }
  T* Lookup(std::string_view key) {
    const Slot* slot = Find(key);
    return slot == nullptr ? nullptr : &slot->entry->second;
  }

  // Inserts unless the key is there; the entry and whether it is new.
  std::pair<iterator, bool> emplace(std::string_view key, T value) {
    const std::uint64_t hash = TextHash{}(key);
    std::size_t slot = 0;
    if (!slots_.empty()) {
      slot = Probe(key, hash);
      if (slots_[slot].entry != nullptr) return {At(slots_[slot].index), false};
    }
    if (2 * (entries_.size() + 1) > slots_.size()) {
      Grow();
      slot = Probe(key, hash);
    }
    entries_.emplace_back(std::string(key), std::move(value));
    slots_[slot] = {Tag(hash), entries_.size() - 1, &entries_.back()};
    return {std::prev(entries_.end()), true};
  }

  T& operator[](std::string_view key) { return emplace(key, T{}).first->second; }

 private:
  static constexpr std::size_t kNone = ~std::size_t{0};
  // A slot names its entry twice: by address for the lookup, by place for
  // an iterator. The high 32 bits of the key's hash spare most compares.
  struct Slot {
    std::uint32_t tag = 0;
    std::size_t index = 0;
    value_type* entry = nullptr;  // null: empty
  };
  static std::uint32_t Tag(std::uint64_t hash) { return static_cast<std::uint32_t>(hash >> 32); }
  iterator At(std::size_t index) { return entries_.begin() + static_cast<std::ptrdiff_t>(index); }
  const_iterator At(std::size_t index) const { return entries_.begin() + static_cast<std::ptrdiff_t>(index); }

  // The slot holding the key, or the empty slot where it would go.
  std::size_t Probe(std::string_view key, std::uint64_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
      const Slot& slot = slots_[i];
      if (slot.entry == nullptr || (slot.tag == Tag(hash) && slot.entry->first == key)) return i;
    }
  }

  const Slot* Find(std::string_view key) const {
    if (slots_.empty()) return nullptr;
    const Slot& slot = slots_[Probe(key, TextHash{}(key))];
    return slot.entry == nullptr ? nullptr : &slot;
  }

  // At most half full, so that probes stay short.
  void Grow() {
    slots_.assign(std::max<std::size_t>(16, std::bit_ceil(4 * (entries_.size() + 1))), Slot{});
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t n = 0; n < entries_.size(); ++n) {
      const std::uint64_t hash = TextHash{}(entries_[n].first);
      std::size_t i = hash & mask;
      while (slots_[i].entry != nullptr) i = (i + 1) & mask;
      slots_[i] = {Tag(hash), n, &entries_[n]};
    }
  }

  std::deque<value_type> entries_;
  std::vector<Slot> slots_;
};

}  // namespace velt
