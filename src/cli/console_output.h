#pragma once
// What the command line prints for the operator: messages and warnings on
// standard error, progress on it while a person watches, the summary of a
// run and of a batch in Russian on standard output.
#include <chrono>
#include <csignal>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "conversion/conversion_run.h"
#include "conversion/problem_csv_file.h"

namespace velt {

void PrintError(const std::string& text1251);
void PrintWarning(const std::string& text1251);
// An exception that no rule expects (memory exhausted, a library's own
// error) ends the command with a message instead of an abort.
void PrintUnexpected(const std::exception& error);

// The command line's stand-in for the main window: messages go to standard
// error, Ctrl-C (through `interrupted`) becomes the cancel button, and the
// progress is one line rewritten in place when standard error is a
// terminal, nothing when a script reads it.
class ConsoleHost : public RunHost {
 public:
  explicit ConsoleHost(const volatile std::sig_atomic_t& interrupted);
  void Checkpoint() override;
  void SetMappingMenuEnabled(bool) override {}
  void ShowProgress(bool visible, int position) override;
  void Progress(std::int64_t recNo, std::int64_t count) override;
  void SetStatus(const std::string&) override {}
  void ShowMessage(const std::string& text) override;
  void Warn(const std::string& text) override;
  // Warnings given since the host was made: a run with one is no clean
  // success.
  int Warnings() const { return warnings_; }
  bool WantsProblems() const override { return problemsFile_ != nullptr; }
  // The run's problem calls go to `file` as they come, none kept.
  void SetProblemsFile(ProblemCsvFile* file) { problemsFile_ = file; }
  void PrepareProblems(ProblemCalls& problems) override;

 private:
  void EndProgressLine();

  const volatile std::sig_atomic_t& interrupted_;
  bool showProgress_;
  bool lineOpen_ = false;
  int position_ = 0;
  int warnings_ = 0;
  ProblemCsvFile* problemsFile_ = nullptr;
  std::chrono::steady_clock::time_point started_;
};

// Where the run's code page came from, for the summary.
enum class CodePageSource { Argument, IniFile, Default };

// The summary of one run (also one that ended early or with an error).
void PrintRunSummary(const RunSummary& summary, const std::string& archive1251, CodePageSource source,
                     const std::string& logPath1251);

// One line per archive of a batch and the total.
struct BatchLine {
  std::string archive1251;
  int status = 0;
  RunSummary summary;
  bool endedByError = true;  // the run raised an error (its unmapped values are partial)
};
// `status` is the command's, for the total.
void PrintBatchSummary(const std::vector<BatchLine>& lines, int status);

}  // namespace velt
