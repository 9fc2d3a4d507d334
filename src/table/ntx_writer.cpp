// Clipper NTX index files.
//
// The tree is built bottom-up from keys already in index order, with one open
// page per level: keys fill the open leaf; when a page is full, the next key
// goes one level up as the separator whose child is the full page, and a new
// page starts below. At the end the open pages hang from each other, each the
// last child of the one above; an open page left with fewer than half a page
// of keys first borrows keys from its left neighbour, through the separator
// between them, so that every page but the root holds at least half a page
// and all leaves lie at the same depth.
//
// Layout on disk: 1024-byte pages, page 0 the header, page i+1 the i-th page
// built; pointers are byte offsets. Every record appears once in the tree:
// interior entries are real keys.
#include "table/ntx_writer.h"

#include <cstring>
#include <string>
#include <vector>

#include "support/error.h"
#include "support/file_problem.h"
#include "support/platform.h"

namespace velt {
namespace {

constexpr std::size_t kPageSize = 1024;
constexpr int kLongestKey = 256;
constexpr std::size_t kTextField = 256;  // expression and condition in the header

struct Entry {
  std::uint32_t child;  // byte offset of the page with the keys before this one; 0 in a leaf
  std::uint32_t key;    // position of the key among the caller's keys
};

struct Page {
  std::vector<Entry> entries;
  std::uint32_t lastChild = 0;  // the subtree after the last key
};

std::uint32_t OffsetOf(std::size_t page) { return static_cast<std::uint32_t>((page + 1) * kPageSize); }
std::size_t PageAt(std::uint32_t offset) { return offset / kPageSize - 1; }

class TreeBuilder {
 public:
  explicit TreeBuilder(int maxKeys) : maxKeys_(static_cast<std::size_t>(maxKeys)) {}

  void Add(std::uint32_t key) { Insert(0, 0, key); }

  // Closes the open pages and gives the root's page number.
  std::size_t Finish() {
    if (open_.empty()) return NewPage();  // an empty index: one empty root
    const std::size_t half = maxKeys_ / 2;
    for (std::size_t level = open_.size() - 1; level-- > 0;) {
      const std::size_t parent = open_[level + 1];
      const std::size_t page = open_[level];
      while (pages_[page].entries.size() < half) BorrowFromLeft(parent, page);
      pages_[parent].lastChild = OffsetOf(page);
    }
    return open_.back();
  }

  const std::vector<Page>& Pages() const { return pages_; }

 private:
  std::size_t NewPage() {
    pages_.emplace_back();
    pages_.back().entries.reserve(maxKeys_);
    return pages_.size() - 1;
  }

  void Insert(std::size_t level, std::uint32_t child, std::uint32_t key) {
    if (level == open_.size()) open_.push_back(NewPage());
    Page& page = pages_[open_[level]];
    if (page.entries.size() < maxKeys_) {
      page.entries.push_back({child, key});
      return;
    }
    // The page is full: the child completes it and the key goes up.
    page.lastChild = child;
    const std::size_t full = open_[level];
    open_[level] = NewPage();
    Insert(level + 1, OffsetOf(full), key);
  }

  // Moves the separator before `page` down into it and the last key of the
  // left neighbour up in its place; the neighbour's last subtree moves along.
  // The neighbour is a completed page, so it is full and can spare half.
  void BorrowFromLeft(std::size_t parent, std::size_t page) {
    Entry& separator = pages_[parent].entries.back();
    Page& left = pages_[PageAt(separator.child)];
    const Entry last = left.entries.back();
    left.entries.pop_back();
    Page& target = pages_[page];
    target.entries.insert(target.entries.begin(), Entry{left.lastChild, separator.key});
    left.lastChild = last.child;
    separator.key = last.key;
  }

  std::size_t maxKeys_;
  std::vector<Page> pages_;
  std::vector<std::size_t> open_;  // the open page of each level, leaves first
};

void Put16(std::string& buffer, std::size_t at, int value) {
  buffer[at] = static_cast<char>(value & 0xFF);
  buffer[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}

void Put32(std::string& buffer, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) buffer[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A NUL-padded text field; a longer text is cut so that one NUL always ends it.
void PutText(std::string& buffer, std::size_t at, const std::string& text) {
  std::memcpy(buffer.data() + at, text.data(), std::min(text.size(), kTextField - 1));
}

void PutHeader(std::string& buffer, const NtxDescription& d, int maxKeys, std::size_t root) {
  Put16(buffer, 0, d.condition.empty() ? 6 : 7);
  Put16(buffer, 2, 1);
  Put32(buffer, 4, OffsetOf(root));
  Put32(buffer, 8, 0);
  Put16(buffer, 12, d.keySize + 8);
  Put16(buffer, 14, d.keySize);
  Put16(buffer, 16, d.keyDecimals);
  Put16(buffer, 18, maxKeys);
  Put16(buffer, 20, maxKeys / 2);
  PutText(buffer, 22, d.keyExpression);
  buffer[278] = d.unique ? 1 : 0;
  buffer[280] = d.descending ? 1 : 0;
  PutText(buffer, 282, d.condition);
}

// Entry slots are listed in order; slot N, after the last key, carries only
// the pointer to the last subtree.
void PutPage(std::string& buffer, std::size_t at, const Page& page, int maxKeys, int keySize,
             const char* keys, const std::uint32_t* recnos) {
  const std::size_t itemSize = static_cast<std::size_t>(keySize) + 8;
  const std::size_t slots = static_cast<std::size_t>(maxKeys) + 1;
  const std::size_t firstEntry = 2 + 2 * slots;
  Put16(buffer, at, static_cast<int>(page.entries.size()));
  for (std::size_t i = 0; i < slots; ++i)
    Put16(buffer, at + 2 + 2 * i, static_cast<int>(firstEntry + i * itemSize));
  std::size_t entry = at + firstEntry;
  for (const Entry& e : page.entries) {
    Put32(buffer, entry, e.child);
    Put32(buffer, entry + 4, recnos[e.key]);
    std::memcpy(buffer.data() + entry + 8, keys + static_cast<std::size_t>(e.key) * keySize, keySize);
    entry += itemSize;
  }
  Put32(buffer, entry, page.lastChild);
}

}  // namespace

int NtxMaxKeys(int keySize) {
  int keys = 1022 / (keySize + 10) - 1;
  if (keys % 2 == 1 && keys > 2) --keys;
  return keys;
}

void WriteNtxFile(const std::string& path, const NtxDescription& description, const char* keys,
                  const std::uint32_t* recnos, std::size_t count) {
  if (description.keySize < 0 || description.keySize > kLongestKey) {
    throw Error("Index key too long for " + path + ": " + std::to_string(description.keySize) +
                " bytes, at most " + std::to_string(kLongestKey));
  }
  const int maxKeys = NtxMaxKeys(description.keySize);
  TreeBuilder builder(maxKeys);
  for (std::size_t i = 0; i < count; ++i) builder.Add(static_cast<std::uint32_t>(i));
  const std::size_t root = builder.Finish();

  const std::vector<Page>& pages = builder.Pages();
  std::string buffer((pages.size() + 1) * kPageSize, '\0');
  PutHeader(buffer, description, maxKeys, root);
  for (std::size_t i = 0; i < pages.size(); ++i)
    PutPage(buffer, OffsetOf(i), pages[i], maxKeys, description.keySize, keys, recnos);

  // The old index stays whole until the new one is complete; the file is
  // built under a name of this process's own, since runs started at once on
  // one program folder rebuild the same indexes.
  const std::string temporary = path + "." + std::to_string(platform::ProcessId()) + ".tmp";
  if (!platform::WriteWholeFile(temporary, buffer) || !platform::ReplaceFile(temporary, path)) {
    platform::RemoveFile(temporary);
    const std::string cause = FileWriteProblem(path);
    throw Error("Cannot write index file " + path + "\n" + cause, ErrorKind::Other, cause);
  }
}

}  // namespace velt
