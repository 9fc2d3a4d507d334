#pragma once
// The problem calls of a command's runs written to their CSV file as the
// runs go, in the event log's order, so that memory does not grow with an
// archive full of failing calls. The rows go to a file beside the target
// that takes its place in one rename when the command ends.
#include <cstdint>
#include <string>
#include <string_view>

#include "conversion/problem_calls.h"
#include "support/platform.h"

namespace velt {

class ProblemCsvFile {
 public:
  // `path` 1251; `withArchive` puts the archive's column first (several
  // archives in one command).
  ProblemCsvFile(std::string path, bool withArchive, char separator);
  ~ProblemCsvFile();
  ProblemCsvFile(const ProblemCsvFile&) = delete;
  ProblemCsvFile& operator=(const ProblemCsvFile&) = delete;

  // The archive of the rows that follow (1251).
  void SetArchive(std::string_view archive);
  void Add(const ProblemCall& call, const std::string& message);
  // Everything on the file and the file in its place; false when a write
  // or the rename failed (or the file could not be begun).
  bool Commit();
  const std::string& Path() const { return path_; }

 private:
  void Flush();

  std::string path_;
  std::string temporary_;
  bool withArchive_;
  char separator_;
  platform::File file_;
  bool failed_ = false;
  std::uint64_t written_ = 0;
  std::string buffer_;
  std::string archiveCell_;
  std::string lastMessage_, lastMessageCell_;
};

}  // namespace velt
