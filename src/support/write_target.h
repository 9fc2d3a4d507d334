#pragma once
// The one rule for every file a command writes (tables, reports, CSV, the
// log, the ini file, index files), applied before any work starts: a target
// is a regular file that may be replaced, or a new name in a folder that
// takes files; never a link, a folder, a pipe or a device, and never a file
// that the same command reads or writes in another role. Files are told
// apart by identity (device and inode, the file ID on Windows), not by how
// their paths are spelt.
#include <optional>
#include <string>
#include <vector>

namespace velt {

struct WriteProblem {
  std::string path;    // the target, 1251
  std::string role;    // what the command would write there
  std::string cause;   // "Файл <path>: <why>."
  bool clash = false;  // the target is a file the command also uses otherwise
  // The two lines for the operator.
  std::string Text() const;
};

class WriteTargets {
 public:
  // Roles are nominative 1251 phrases: "архив", "отчёт --report", ...
  void Reads(const std::string& path, const std::string& role);
  void Writes(const std::string& path, const std::string& role);
  // The first target that breaks the rule, a clash of roles before the kind
  // of file.
  std::optional<WriteProblem> Check() const;

 private:
  struct Entry {
    std::string path, role;
    bool written = false;
  };
  std::optional<WriteProblem> FirstClash() const;
  std::optional<WriteProblem> FirstUnfit() const;

  std::vector<Entry> entries_;
};

}  // namespace velt
