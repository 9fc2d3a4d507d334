#include "conversion/problem_calls.h"

#include <algorithm>

#include "support/code_page.h"
#include "support/csv.h"
#include "support/text.h"

namespace velt {

void ProblemCalls::Add(std::int64_t record, std::string_view call, std::string_view date,
                       std::string_view surname, const std::string& message) {
  if (last_ >= messages_.size() || messages_[last_] != message) {
    auto found = std::find(messages_.begin(), messages_.end(), message);
    if (found == messages_.end()) {
      found = messages_.insert(messages_.end(), message);
      counts_.push_back(0);
    }
    last_ = static_cast<std::uint32_t>(found - messages_.begin());
  }
  ++total_;
  ++counts_[last_];
  if (calls_.size() >= limit_ && !sink_) return;
  ProblemCall entry{record, std::string(call), std::string(date), std::string(surname), last_};
  if (sink_) sink_(entry, messages_[last_]);
  if (calls_.size() < limit_) calls_.push_back(std::move(entry));
}

std::vector<ProblemGroup> ProblemCalls::Groups() const {
  std::vector<ProblemGroup> groups(messages_.size());
  for (std::uint32_t i = 0; i < groups.size(); ++i) groups[i] = {i, counts_[i]};
  std::stable_sort(groups.begin(), groups.end(),
                   [](const ProblemGroup& a, const ProblemGroup& b) { return a.calls > b.calls; });
  return groups;
}

std::string ProblemText(const std::string& message) {
  std::string text = Trim(message);
  for (std::string_view joint : {":", "-"})
    if (text.compare(0, joint.size(), joint) == 0) return Trim(text.substr(joint.size()));
  return text;
}

std::string ProblemCsvStart(bool withArchive, char separator) {
  if (withArchive)
    return CsvFileStart({"archive", "record", "call", "date", "surname", "problem"}, separator);
  return CsvFileStart({"record", "call", "date", "surname", "problem"}, separator);
}

void AppendProblemCsvRows(std::string& csv, const ProblemCalls& problems, bool withArchive, char separator,
                          std::string_view archive) {
  const std::string archiveCell =
      withArchive ? CsvField(AnsiToUtf8(std::string(archive)), separator) + separator : "";
  std::vector<std::string> messages;
  for (std::uint32_t i = 0; i < problems.MessageCount(); ++i)
    messages.push_back(CsvField(AnsiToUtf8(problems.Message(i)), separator));
  for (const ProblemCall& call : problems.Calls())
    AppendProblemCsvRow(csv, archiveCell, call, messages[call.message], separator);
}

void AppendProblemCsvRow(std::string& csv, std::string_view archiveCell, const ProblemCall& call,
                         std::string_view messageCell, char separator) {
  csv += archiveCell;
  csv += CsvLine({std::to_string(call.record), CsvField(AnsiToUtf8(call.call), separator),
                  CsvField(AnsiToUtf8(call.date), separator), CsvField(AnsiToUtf8(call.surname), separator),
                  messageCell},
                 separator);
}

}  // namespace velt
