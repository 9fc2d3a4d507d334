#include "conversion/problem_csv_file.h"

#include <utility>

#include "support/code_page.h"
#include "support/csv.h"

namespace velt {
namespace {

// Rows gather to about this many bytes before they are written.
constexpr std::size_t kBatchBytes = 64 * 1024;

}  // namespace

ProblemCsvFile::ProblemCsvFile(std::string path, bool withArchive, char separator)
    : path_(std::move(path)),
      temporary_(path_ + "." + std::to_string(platform::ProcessId()) + ".tmp"),
      withArchive_(withArchive),
      separator_(separator) {
  failed_ = file_.Open(temporary_, platform::File::Mode::CreateTruncate, platform::File::Lock::Exclusive) !=
            platform::OpenResult::Ok;
  buffer_ = ProblemCsvStart(withArchive, separator);
}

ProblemCsvFile::~ProblemCsvFile() {
  if (!file_.IsOpen()) return;
  file_.Close();
  platform::RemoveFile(temporary_);
}

void ProblemCsvFile::SetArchive(std::string_view archive) {
  archiveCell_ = withArchive_ ? CsvField(AnsiToUtf8(std::string(archive)), separator_) + separator_ : "";
}

void ProblemCsvFile::Add(const ProblemCall& call, const std::string& message) {
  // Runs of one message are common: its cell is made once for them.
  if (message != lastMessage_ || lastMessageCell_.empty()) {
    lastMessage_ = message;
    lastMessageCell_ = CsvField(AnsiToUtf8(message), separator_);
  }
  AppendProblemCsvRow(buffer_, archiveCell_, call, lastMessageCell_, separator_);
  if (buffer_.size() >= kBatchBytes) Flush();
}

void ProblemCsvFile::Flush() {
  if (!failed_ && !buffer_.empty()) {
    failed_ = !file_.WriteAt(written_, buffer_.data(), buffer_.size());
    written_ += buffer_.size();
  }
  buffer_.clear();
}

bool ProblemCsvFile::Commit() {
  Flush();
  if (failed_ || !file_.Truncate(written_) || !file_.MoveTo(path_)) {
    failed_ = true;
    return false;
  }
  file_.Close();
  return true;
}

}  // namespace velt
