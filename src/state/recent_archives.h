#pragma once
// The archives the operator chose last, newest first, for the main window's
// menu. Kept in the ini file under a section of its own ("Recent archives"
// of the program, not of a window's persisted state):
//
//   [veltconv.RecentArchives]
//   Archive1=<newest path>
//   ...
//   Archive8=<oldest path>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace velt {

class IniFile;

class RecentArchives {
 public:
  static constexpr std::size_t kLimit = 8;
  static constexpr const char* kSection = "veltconv.RecentArchives";

  struct Entry {
    std::string path;  // 1251, as chosen
    bool missing = false;
  };
  using ExistsFn = std::function<bool(const std::string& path)>;

  // The list as the file holds it: blank values and repeats are dropped,
  // at most kLimit paths are kept.
  void Load(const IniFile& ini);
  // Replaces the section with the list (no section for an empty list).
  void Save(IniFile& ini) const;

  // The path goes first; the same path further down (written with the other
  // separator, or in other letter case where the file system ignores it)
  // leaves its place; the oldest beyond kLimit go. A blank path is ignored.
  void Add(const std::string& path);
  void Remove(const std::string& path);
  // Removes the paths that `exists` denies; true when any went.
  bool RemoveMissing(const ExistsFn& exists);

  const std::vector<std::string>& Paths() const { return paths_; }
  // The paths with those that `exists` denies marked.
  std::vector<Entry> Entries(const ExistsFn& exists) const;

 private:
  std::vector<std::string> paths_;
};

}  // namespace velt
