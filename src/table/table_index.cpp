#include "table/table_index.h"

#include <algorithm>
#include <cstring>

#include "support/code_page.h"
#include "table/dbf_file.h"
#include "table/dbf_value.h"
#include "table/ntx_writer.h"

namespace velt {
namespace {

// The first eight key bytes as one big-endian number, so that most
// comparisons of a sort are one integer compare.
std::uint64_t Prefix(const char* key, int width) {
  std::uint64_t value = 0;
  int n = std::min(width, 8);
  for (int i = 0; i < 8; ++i)
    value = value << 8 | (i < n ? static_cast<unsigned char>(key[i]) : 0u);
  return value;
}

struct TextEntry {
  std::uint64_t prefix;
  std::uint32_t ordinal;  // position among the keyed records, which follow record order
};

struct NumberEntry {
  double value;
  std::uint32_t ordinal;
};

}  // namespace

TableIndex::TableIndex(xbase::Expression key, std::optional<xbase::Expression> condition, bool descending,
                       bool unique, bool oemKeys)
    : key_(std::move(key)),
      condition_(std::move(condition)),
      descending_(descending),
      unique_(unique),
      oemKeys_(oemKeys),
      numeric_(key_.Type() == xbase::ValueType::Numeric),
      width_(std::max(0, key_.KeyWidth())) {}

bool TableIndex::Accepts(const char* record) const {
  if (record[0] == dbf::kDeletedFlag) return false;
  return !condition_ || condition_->EvaluateLogical(record);
}

void TableIndex::MakeKey(const char* record, Probe& probe) const {
  key_.EvaluateKey(record, probe.key);
  probe.key.resize(static_cast<std::size_t>(width_), ' ');
  if (oemKeys_) AnsiToOemInPlace(probe.key.data(), probe.key.size());
  if (numeric_) probe.number = key_.EvaluateNumber(record);
}

void TableIndex::Build(const char* records, std::size_t recordLength, std::uint32_t count) {
  Clear();
  const auto width = static_cast<std::size_t>(width_);
  std::string built;  // keys in record order
  built.reserve(count * width);
  std::vector<std::uint32_t> recnoOf;
  std::vector<double> numberOf;
  recnoOf.reserve(count);
  if (numeric_) numberOf.reserve(count);
  Probe probe;
  for (std::uint32_t r = 1; r <= count; ++r) {
    const char* record = records + (r - 1) * recordLength;
    if (!Accepts(record)) continue;
    MakeKey(record, probe);
    built.append(probe.key);
    recnoOf.push_back(r);
    if (numeric_) numberOf.push_back(probe.number);
  }
  const std::size_t n = recnoOf.size();

  // One sort over (key, ordinal); the ordinal breaks ties, so equal keys
  // stay in ascending record order in both directions.
  std::vector<std::uint32_t> order(n);
  if (numeric_) {
    std::vector<NumberEntry> entries(n);
    for (std::uint32_t i = 0; i < n; ++i) entries[i] = {numberOf[i], i};
    const bool desc = descending_;
    std::sort(entries.begin(), entries.end(), [desc](const NumberEntry& a, const NumberEntry& b) {
      if (a.value != b.value) return desc ? a.value > b.value : a.value < b.value;
      return a.ordinal < b.ordinal;
    });
    for (std::size_t i = 0; i < n; ++i) order[i] = entries[i].ordinal;
  } else {
    std::vector<TextEntry> entries(n);
    for (std::uint32_t i = 0; i < n; ++i) entries[i] = {Prefix(built.data() + i * width, width_), i};
    const char* keys = built.data();
    const bool desc = descending_;
    const std::size_t rest = width > 8 ? width - 8 : 0;
    std::sort(entries.begin(), entries.end(), [=](const TextEntry& a, const TextEntry& b) {
      if (a.prefix != b.prefix) return desc ? a.prefix > b.prefix : a.prefix < b.prefix;
      if (rest > 0) {
        int c = std::memcmp(keys + a.ordinal * width + 8, keys + b.ordinal * width + 8, rest);
        if (c != 0) return desc ? c > 0 : c < 0;
      }
      return a.ordinal < b.ordinal;
    });
    for (std::size_t i = 0; i < n; ++i) order[i] = entries[i].ordinal;
  }

  keys_.resize(n * width);
  recnos_.resize(n);
  if (numeric_) numbers_.resize(n);
  std::size_t kept = 0;
  for (std::size_t i = 0; i < n; ++i) {
    std::uint32_t ordinal = order[i];
    const char* key = built.data() + ordinal * width;
    if (unique_ && kept > 0) {
      bool same = numeric_ ? numbers_[kept - 1] == numberOf[ordinal]
                           : std::memcmp(keys_.data() + (kept - 1) * width, key, width) == 0;
      if (same) continue;  // a unique index keeps the first record of a key
    }
    std::memcpy(keys_.data() + kept * width, key, width);
    recnos_[kept] = recnoOf[ordinal];
    if (numeric_) numbers_[kept] = numberOf[ordinal];
    ++kept;
  }
  keys_.resize(kept * width);
  recnos_.resize(kept);
  if (numeric_) numbers_.resize(kept);
}

void TableIndex::WriteNtx(const std::string& path, const std::string& keyExpression,
                          const std::string& condition) const {
  NtxDescription description;
  description.keyExpression = keyExpression;
  description.condition = condition;
  description.keySize = width_;
  description.keyDecimals = key_.KeyDecimals();
  description.unique = unique_;
  description.descending = descending_;
  WriteNtxFile(path, description, keys_.data(), recnos_.data(), recnos_.size());
}

std::string_view TableIndex::KeyAt(std::size_t position) const {
  const auto width = static_cast<std::size_t>(width_);
  return std::string_view(keys_.data() + position * width, width);
}

int TableIndex::CompareAt(std::size_t position, const Probe& probe) const {
  int c;
  if (numeric_) {
    double v = numbers_[position];
    c = v < probe.number ? -1 : (v > probe.number ? 1 : 0);
  } else {
    const auto width = static_cast<std::size_t>(width_);
    c = std::memcmp(keys_.data() + position * width, probe.key.data(), width);
  }
  return descending_ ? -c : c;
}

std::size_t TableIndex::SearchKey(const Probe& probe, bool upper) const {
  std::size_t lo = 0, hi = Size();
  while (lo < hi) {
    std::size_t mid = lo + (hi - lo) / 2;
    int c = CompareAt(mid, probe);
    if (upper ? c <= 0 : c < 0) lo = mid + 1;
    else hi = mid;
  }
  return lo;
}

std::size_t TableIndex::SearchEntry(const Probe& probe, std::uint32_t recno) const {
  std::size_t first = SearchKey(probe, false);
  std::size_t last = SearchKey(probe, true);
  auto begin = recnos_.begin();
  return static_cast<std::size_t>(std::lower_bound(begin + static_cast<std::ptrdiff_t>(first),
                                                   begin + static_cast<std::ptrdiff_t>(last), recno) -
                                  begin);
}

bool TableIndex::ScopeProbe(std::string_view text, Probe& probe, bool& tooLong) const {
  tooLong = false;
  if (numeric_) return dbf::TryParseNumber(text, probe.number);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  const auto width = static_cast<std::size_t>(width_);
  if (text.size() > width) {
    tooLong = true;
    text = text.substr(0, width);
  }
  probe.key.assign(text);
  probe.key.resize(width, ' ');
  if (oemKeys_) AnsiToOemInPlace(probe.key.data(), probe.key.size());
  return true;
}

std::pair<std::size_t, std::size_t> TableIndex::Range(std::string_view low, std::string_view high) const {
  Probe lowProbe, highProbe;
  bool lowLong = false, highLong = false;
  if (!ScopeProbe(low, lowProbe, lowLong) || !ScopeProbe(high, highProbe, highLong)) return {0, 0};
  // A high key longer than the key width cut to it bounds the same keys; a
  // low key so cut excludes the keys equal to its cut form.
  std::size_t first, last;
  if (!descending_) {
    first = SearchKey(lowProbe, lowLong);
    last = SearchKey(highProbe, true);
  } else {
    first = SearchKey(highProbe, false);
    last = SearchKey(lowProbe, !lowLong);
  }
  if (last < first) last = first;
  return {first, last};
}

std::size_t TableIndex::Find(const char* record, std::uint32_t recno) const {
  MakeKey(record, scratch_);
  std::size_t position = SearchEntry(scratch_, recno);
  if (position < Size() && recnos_[position] == recno && CompareAt(position, scratch_) == 0) return position;
  return npos;
}

std::size_t TableIndex::LowerBound(const char* record, std::uint32_t recno) const {
  MakeKey(record, scratch_);
  return SearchEntry(scratch_, recno);
}

std::size_t TableIndex::Insert(const char* record, std::uint32_t recno) {
  if (!Accepts(record)) return npos;
  MakeKey(record, scratch_);
  if (unique_ && SearchKey(scratch_, false) != SearchKey(scratch_, true)) return npos;
  std::size_t position = SearchEntry(scratch_, recno);
  const auto width = static_cast<std::size_t>(width_);
  keys_.insert(position * width, scratch_.key);
  recnos_.insert(recnos_.begin() + static_cast<std::ptrdiff_t>(position), recno);
  if (numeric_) numbers_.insert(numbers_.begin() + static_cast<std::ptrdiff_t>(position), scratch_.number);
  return position;
}

void TableIndex::Remove(const char* record, std::uint32_t recno) {
  std::size_t position = Find(record, recno);
  if (position == npos) return;
  const auto width = static_cast<std::size_t>(width_);
  keys_.erase(position * width, width);
  recnos_.erase(recnos_.begin() + static_cast<std::ptrdiff_t>(position));
  if (numeric_) numbers_.erase(numbers_.begin() + static_cast<std::ptrdiff_t>(position));
}

void TableIndex::Clear() {
  keys_.clear();
  recnos_.clear();
  numbers_.clear();
}

}  // namespace velt
