#include "state/recent_archives.h"

#include <algorithm>

#include "state/ini_file.h"
#include "support/code_page.h"
#include "support/platform.h"
#include "support/text.h"

namespace velt {
namespace {

std::string KeyOf(std::size_t number) { return "Archive" + std::to_string(number); }

// What makes two paths one file here: either separator, doubled separators,
// and letter case where the file system ignores it.
std::string Comparable(const std::string& path) {
  std::string out;
  for (char c : path) {
    const char unified = platform::IsPathSeparator(c) ? '/' : c;
    if (unified == '/' && !out.empty() && out.back() == '/' && out.size() > 1) continue;
    out += unified;
  }
  return platform::PathSeparator() == '\\' ? UpperCase(out) : out;
}

}  // namespace

void RecentArchives::Load(const IniFile& ini) {
  paths_.clear();
  for (std::size_t number = kLimit; number >= 1; --number) {
    const std::string path = Trim(ini.ReadString(kSection, KeyOf(number), ""));
    if (!path.empty()) Add(path);  // oldest first, so that the newest ends in front
  }
}

void RecentArchives::Save(IniFile& ini) const {
  ini.EraseSection(kSection);
  for (std::size_t i = 0; i < paths_.size(); ++i) ini.WriteString(kSection, KeyOf(i + 1), paths_[i]);
}

void RecentArchives::Add(const std::string& path) {
  if (Trim(path).empty()) return;
  Remove(path);
  paths_.insert(paths_.begin(), path);
  if (paths_.size() > kLimit) paths_.resize(kLimit);
}

void RecentArchives::Remove(const std::string& path) {
  const std::string key = Comparable(path);
  std::erase_if(paths_, [&key](const std::string& kept) { return Comparable(kept) == key; });
}

bool RecentArchives::RemoveMissing(const ExistsFn& exists) {
  return std::erase_if(paths_, [&exists](const std::string& path) { return !exists(path); }) > 0;
}

std::vector<RecentArchives::Entry> RecentArchives::Entries(const ExistsFn& exists) const {
  std::vector<Entry> entries;
  for (const std::string& path : paths_) entries.push_back({path, !exists(path)});
  return entries;
}

}  // namespace velt
