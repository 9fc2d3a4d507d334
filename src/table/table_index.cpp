#include "table/table_index.h"

#include <algorithm>
#include <cstring>

#include "support/code_page.h"
#include "table/dbf_file.h"
#include "table/dbf_value.h"
#include "table/ntx_writer.h"

namespace velt {
namespace {

// Key bytes from `from` (up to eight) as one big-endian number, so that most
// comparisons of a sort are integer compares.
std::uint64_t Prefix(const char* key, int width, int from) {
  std::uint64_t value = 0;
  for (int i = from; i < from + 8; ++i)
    value = value << 8 | (i < width ? static_cast<unsigned char>(key[i]) : 0u);
  return value;
}

struct TextEntry {
  std::uint64_t head, next;  // key bytes 0-7 and 8-15
  std::uint32_t ordinal;     // position among the keyed records, which follow record order
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
  probe.head = Prefix(probe.key.data(), width_, 0);
  if (numeric_) probe.number = key_.EvaluateNumber(record);
}

void TableIndex::Build(const char* records, std::size_t recordLength, std::uint32_t count) {
  BeginBuild(count);
  for (std::uint32_t r = 1; r <= count; ++r) AddRecord(records + (r - 1) * recordLength, r);
  FinishBuild();
}

void TableIndex::BeginBuild(std::uint32_t expected) {
  Clear();
  built_ = {};
  built_.reserve(expected * static_cast<std::size_t>(width_));
  recnoOf_ = {};
  recnoOf_.reserve(expected);
  numberOf_ = {};
  if (numeric_) numberOf_.reserve(expected);
}

void TableIndex::AddRecord(const char* record, std::uint32_t recno) {
  if (!Accepts(record)) return;
  MakeKey(record, scratch_);
  built_.insert(built_.end(), scratch_.key.begin(), scratch_.key.end());
  recnoOf_.push_back(recno);
  if (numeric_) numberOf_.push_back(scratch_.number);
}

void TableIndex::FinishBuild() {
  const auto width = static_cast<std::size_t>(width_);
  // Taken out of the members so that they are freed when the build ends.
  dbf::Buffer built = std::move(built_);
  std::vector<std::uint32_t> recnoOf = std::move(recnoOf_);
  std::vector<double> numberOf = std::move(numberOf_);
  const std::size_t n = recnoOf.size();

  // One sort over (key, ordinal); the ordinal breaks ties, so equal keys
  // stay in ascending record order in both directions.
  std::vector<std::uint32_t, dbf::UninitializedAllocator<std::uint32_t>> order(n);
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
    std::vector<TextEntry, dbf::UninitializedAllocator<TextEntry>> entries(n);
    for (std::uint32_t i = 0; i < n; ++i) {
      const char* key = built.data() + i * width;
      entries[i] = {Prefix(key, width_, 0), Prefix(key, width_, 8), i};
    }
    const char* keys = built.data();
    const bool desc = descending_;
    const std::size_t rest = width > 16 ? width - 16 : 0;
    std::sort(entries.begin(), entries.end(), [=](const TextEntry& a, const TextEntry& b) {
      if (a.head != b.head) return desc ? a.head > b.head : a.head < b.head;
      if (a.next != b.next) return desc ? a.next > b.next : a.next < b.next;
      if (rest > 0) {
        int c = std::memcmp(keys + a.ordinal * width + 16, keys + b.ordinal * width + 16, rest);
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

namespace {

constexpr std::size_t kSummaryStep = 16;

// The first position in [from, size) where `before` is false, `before` being
// true up to some position and false after it.
template <typename Before>
std::size_t FirstNotBefore(std::size_t from, std::size_t size, bool gallop, Before before) {
  std::size_t lo = from, hi = size;
  if (gallop) {
    std::size_t step = 1, at = from;
    while (at < size && before(at)) {
      lo = at + 1;
      at = from + step;
      step <<= 1;
    }
    hi = std::min(at, size);
  }
  while (lo < hi) {
    std::size_t mid = lo + (hi - lo) / 2;
    if (before(mid))
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo;
}

}  // namespace

std::size_t TableIndex::SearchKey(const Probe& probe, bool upper, std::size_t from) const {
  std::size_t lo = from, hi = Size();
  if (!numeric_) {
    if (heads_.size() != hi) {
      heads_.resize(hi);
      for (std::size_t i = 0; i < hi; ++i) heads_[i] = Prefix(keys_.data() + i * width_, width_, 0);
      summary_.clear();
    }
    if (summary_.empty() && hi > 0) {
      summary_.reserve(hi / kSummaryStep + 1);
      for (std::size_t i = 0; i < hi; i += kSummaryStep) summary_.push_back(heads_[i]);
    }
    const std::uint64_t h = probe.head;
    const bool desc = descending_;
    auto before = [=](std::uint64_t head) { return desc ? head > h : head < h; };
    const std::uint64_t* heads = heads_.data();
    if (from == 0) {
      const std::uint64_t* summary = summary_.data();
      std::size_t k =
          FirstNotBefore(0, summary_.size(), false, [=](std::size_t i) { return before(summary[i]); });
      lo = k == 0 ? 0 : (k - 1) * kSummaryStep + 1;
      std::size_t end = std::min(k * kSummaryStep, hi);
      lo = FirstNotBefore(lo, end, false, [=](std::size_t i) { return before(heads[i]); });
    } else {
      lo = FirstNotBefore(from, hi, true, [=](std::size_t i) { return before(heads[i]); });
    }
  }
  // Whole keys from there on: the answer is near, among the equal heads.
  return FirstNotBefore(lo, hi, !numeric_ || from > 0, [&](std::size_t i) {
    int c = CompareAt(i, probe);
    return upper ? c <= 0 : c < 0;
  });
}

std::size_t TableIndex::SearchEntry(const Probe& probe, std::uint32_t recno) const {
  std::size_t first = SearchKey(probe, false);
  std::size_t last = SearchKey(probe, true, first);
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
  probe.head = Prefix(probe.key.data(), width_, 0);
  return true;
}

std::pair<std::size_t, std::size_t> TableIndex::Range(std::string_view low, std::string_view high) const {
  Probe& lowProbe = lowProbe_;
  bool lowLong = false, highLong = false;
  if (!ScopeProbe(low, lowProbe, lowLong)) return {0, 0};
  if (low != high && !ScopeProbe(high, highProbe_, highLong)) return {0, 0};
  const Probe& highProbe = low == high ? lowProbe : highProbe_;
  // A high key longer than the key width cut to it bounds the same keys; a
  // low key so cut excludes the keys equal to its cut form.
  std::size_t first, last;
  if (low == high && !lowLong) {  // the common lookup of one key
    first = SearchKey(lowProbe, false);
    last = SearchKey(lowProbe, true, first);
  } else if (!descending_) {
    first = SearchKey(lowProbe, lowLong);
    last = SearchKey(highProbe, true);
  } else {
    first = SearchKey(highProbe, false);
    last = SearchKey(lowProbe, !lowLong);
  }
  if (last < first) last = first;
  return {first, last};
}

bool TableIndex::KeyMatches(std::size_t position, std::string_view key) const {
  bool tooLong = false;
  if (!ScopeProbe(key, lowProbe_, tooLong) || tooLong) return false;
  return CompareAt(position, lowProbe_) == 0;
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
  if (unique_) {
    std::size_t first = SearchKey(scratch_, false);
    if (first != SearchKey(scratch_, true, first)) return npos;
  }
  std::size_t position = SearchEntry(scratch_, recno);
  InsertAt(position, scratch_, recno);
  return position;
}

void TableIndex::Remove(const char* record, std::uint32_t recno) {
  std::size_t position = Find(record, recno);
  if (position != npos) EraseAt(position);
}

void TableIndex::InsertAt(std::size_t position, const Probe& probe, std::uint32_t recno) {
  const auto at = static_cast<std::ptrdiff_t>(position);
  keys_.insert(keys_.begin() + at * width_, probe.key.begin(), probe.key.end());
  recnos_.insert(recnos_.begin() + at, recno);
  if (numeric_)
    numbers_.insert(numbers_.begin() + at, probe.number);
  else
    heads_.insert(heads_.begin() + at, probe.head);
  summary_.clear();
}

void TableIndex::EraseAt(std::size_t position) {
  const auto at = static_cast<std::ptrdiff_t>(position);
  keys_.erase(keys_.begin() + at * width_, keys_.begin() + (at + 1) * width_);
  recnos_.erase(recnos_.begin() + at);
  if (numeric_)
    numbers_.erase(numbers_.begin() + at);
  else
    heads_.erase(heads_.begin() + at);
  summary_.clear();
}

void TableIndex::Clear() {
  keys_.clear();
  recnos_.clear();
  numbers_.clear();
  heads_.clear();
  summary_.clear();
}

}  // namespace velt
