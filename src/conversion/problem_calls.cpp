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
    if (found == messages_.end()) found = messages_.insert(messages_.end(), message);
    last_ = static_cast<std::uint32_t>(found - messages_.begin());
  }
  calls_.push_back({record, std::string(call), std::string(date), std::string(surname), last_});
}

std::vector<ProblemGroup> ProblemCalls::Groups() const {
  std::vector<ProblemGroup> groups(messages_.size());
  for (std::uint32_t i = 0; i < groups.size(); ++i) groups[i].message = i;
  for (const ProblemCall& call : calls_) ++groups[call.message].calls;
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

std::string ProblemCsvHeader(bool withArchive) {
  return std::string(withArchive ? "archive," : "") + "record,call,date,surname,problem\r\n";
}

void AppendProblemCsvRows(std::string& csv, const ProblemCalls& problems, bool withArchive,
                          std::string_view archive) {
  const std::string archiveCell = withArchive ? CsvField(AnsiToUtf8(std::string(archive))) + "," : "";
  std::vector<std::string> messages;
  for (std::uint32_t i = 0; i < problems.MessageCount(); ++i)
    messages.push_back(CsvField(AnsiToUtf8(problems.Message(i))));
  for (const ProblemCall& call : problems.Calls()) {
    csv += archiveCell;
    csv += std::to_string(call.record);
    csv += ',';
    csv += CsvField(AnsiToUtf8(call.call));
    csv += ',';
    csv += CsvField(AnsiToUtf8(call.date));
    csv += ',';
    csv += CsvField(AnsiToUtf8(call.surname));
    csv += ',';
    csv += messages[call.message];
    csv += "\r\n";
  }
}

}  // namespace velt
