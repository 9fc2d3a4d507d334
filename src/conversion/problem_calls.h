#pragma once
// The calls of a run whose field groups failed, one entry per failed group in
// the order of the event log: the archive record, the call's number (NGOD),
// its date, the patient's surname and the group's message, byte for byte as
// the log line carries it after the call number. Station staff look the
// calls up in the dispatch system and correct them there.
//
// Only failures are noted, so a clean archive costs nothing; the few
// distinct messages are kept once each.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace velt {

struct ProblemCall {
  std::int64_t record = 0;  // physical record number in the archive, from 1
  std::string call;         // NGOD, 1251
  std::string date;         // DPRM as dd.mm.yyyy, or its text when it names no date (1251)
  std::string surname;      // FAM, 1251
  std::uint32_t message = 0;
};

struct ProblemGroup {
  std::uint32_t message = 0;
  std::int64_t calls = 0;
};

class ProblemCalls {
 public:
  // Where each call goes as it is added (a file written as the run goes),
  // with its message's text.
  using Sink = std::function<void(const ProblemCall& call, const std::string& message)>;
  void SetSink(Sink sink) { sink_ = std::move(sink); }
  // At most `limit` calls are kept in memory, the first ones; the groups
  // still count every call.
  void SetKeptLimit(std::size_t limit) { limit_ = limit; }

  void Add(std::int64_t record, std::string_view call, std::string_view date, std::string_view surname,
           const std::string& message);
  bool Empty() const { return total_ == 0; }
  // The calls kept, in the log's order; fewer than Total() past the limit.
  const std::vector<ProblemCall>& Calls() const { return calls_; }
  std::int64_t Total() const { return total_; }
  const std::string& Message(std::uint32_t message) const { return messages_[message]; }
  std::uint32_t MessageCount() const { return static_cast<std::uint32_t>(messages_.size()); }
  // The messages with their numbers of calls, most calls first (equal
  // numbers in the order the messages first appeared).
  std::vector<ProblemGroup> Groups() const;

 private:
  std::vector<ProblemCall> calls_;
  std::vector<std::string> messages_;  // in the order they first appeared
  std::vector<std::int64_t> counts_;   // calls per message
  std::int64_t total_ = 0;
  std::size_t limit_ = static_cast<std::size_t>(-1);
  Sink sink_;
  std::uint32_t last_ = 0;  // the message of the last Add: runs of one message are common
};

// The message as a person reads it: without the ": " or " - " that joins
// it to the call number in the log, and without blanks at its ends (1251).
std::string ProblemText(const std::string& message);

// CSV files of problem calls (support/csv.h). The header is
// "record,call,date,surname,problem", with "archive" in front when the rows
// name their archive; a batch of runs writes the start once and then each
// run's rows.
std::string ProblemCsvStart(bool withArchive, char separator);
// Appends one row per problem call, in their order; `archive` (1251) fills
// the first column when the header has it (`withArchive`).
void AppendProblemCsvRows(std::string& csv, const ProblemCalls& problems, bool withArchive, char separator,
                          std::string_view archive = {});
// One row: `archiveCell` is "" or the archive's CSV field with its
// separator, `messageCell` the message as a CSV field (UTF-8).
void AppendProblemCsvRow(std::string& csv, std::string_view archiveCell, const ProblemCall& call,
                         std::string_view messageCell, char separator);

}  // namespace velt
