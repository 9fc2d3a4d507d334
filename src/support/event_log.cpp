#include "support/event_log.h"

#include <string_view>

#include "support/code_page.h"
#include "support/error.h"
#include "support/file_problem.h"
#include "support/text.h"

namespace velt {
namespace {

// The executable's path with its extension (from the last "." of the file
// name) replaced by ".log": velt.conv.exe gives velt.conv.log.
std::string FallbackLogPath() {
  std::string path = platform::ExecutablePath();
  const std::size_t nameStart = platform::DirectoryPart(path).size();
  const std::size_t dot = path.rfind('.');
  if (dot != std::string::npos && dot >= nameStart) path.erase(dot);
  return path + ".log";
}

// Why a line could not be appended, for the second line of the error: the
// folder when it is missing or refuses files, else the file itself.
std::string WhyNotWritten(const std::string& path) {
  if (platform::IsSpecialFile(path))
    return VELT_ANSI("Это не обычный файл (канал, устройство или сокет), журнал в него не пишется.");
  return FileWriteProblem(path);
}

}  // namespace

std::string FormatStamp(const std::string& pattern, const platform::LocalTime& moment) {
  struct Element {
    std::string_view token;
    int value;
    int width;
  };
  const Element elements[] = {{"yyyy", moment.year, 4}, {"dd", moment.day, 2},    {"mm", moment.month, 2},
                              {"hh", moment.hour, 2},   {"nn", moment.minute, 2}, {"ss", moment.second, 2}};
  std::string out;
  std::string_view rest = pattern;
  while (!rest.empty()) {
    bool matched = false;
    for (const Element& e : elements) {
      if (rest.starts_with(e.token)) {
        out += PadLeft(std::to_string(e.value), e.width, '0');
        rest.remove_prefix(e.token.size());
        matched = true;
        break;
      }
    }
    if (matched) continue;
    // ':' stands for the locale's time separator, which is ':' here.
    out += rest.front();
    rest.remove_prefix(1);
  }
  return out;
}

void EnsureFileExists(const std::string& path) {
  // A failed creation is reported by the append that follows.
  if (!platform::FileExists(path)) platform::AppendToFile(path, std::string());
}

void AddToLog(const std::string& path, const std::string& message, bool stamped, const std::string& pattern) {
  const std::string target = path.empty() ? FallbackLogPath() : path;
  EnsureFileExists(target);
  std::string line;
  if (stamped) line = FormatStamp(pattern, platform::Now());
  // One event, one line: a value with a line break or another control
  // character in it (a call number typed with CR LF) cannot split it.
  for (char c : message) line += static_cast<unsigned char>(c) < 32 ? ' ' : c;
  line += "\r\n";
  if (!platform::AppendToFile(target, line))
    throw Error(VELT_ANSI("Не удалось записать в журнал событий ") + ShownPath(target) + "\n" +
                WhyNotWritten(target));
}

}  // namespace velt
