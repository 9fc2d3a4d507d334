// Opening a long event log in the main window's log view: a log of 560,000
// lines (35 MB, years of a station's runs) shown as the view shows it, the
// last part with a line about the older ones, against reading it whole as
// the view used to. Prints the median time and the memory the view took.
//
//   log_view_bench [RUNS]      (QT_QPA_PLATFORM=offscreen unless set)
#include <QApplication>
#include <QElapsedTimer>
#include <QTextCursor>
#include <QTextEdit>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "gui/log_view_qt.h"
#include "support/code_page.h"

namespace {

constexpr std::uint64_t kShownBytes = 2 * 1024 * 1024;  // as the main window
constexpr int kLines = 560000;

long ResidentKb() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return 0;
}

std::string WriteLog(const std::filesystem::path& path) {
  std::ofstream out(path, std::ios::binary);
  const std::string call = velt::Utf8ToAnsi(" Вызов №");
  const std::string group = velt::Utf8ToAnsi(": Неверная дата рождения.");
  for (int i = 0; i < kLines; ++i)
    out << "05.03.2018, 14:07:09." << call << 100000 + i % 900000 << group << "\r\n";
  return path.string();
}

struct Figures {
  double seconds;
  long kb;
};

template <typename Open>
Figures Measure(Open open) {
  QTextEdit view;
  view.resize(756, 420);
  view.setReadOnly(true);
  view.show();
  QApplication::processEvents();
  const long before = ResidentKb();
  QElapsedTimer timer;
  timer.start();
  open(view);
  view.moveCursor(QTextCursor::End);
  QApplication::processEvents();
  return {static_cast<double>(timer.nsecsElapsed()) / 1e9, ResidentKb() - before};
}

void Report(const char* name, std::vector<Figures> runs) {
  std::sort(runs.begin(), runs.end(),
            [](const Figures& a, const Figures& b) { return a.seconds < b.seconds; });
  const Figures& median = runs[runs.size() / 2];
  std::printf("%-28s median %6.3f s, view memory %6ld KB (%zu runs)\n", name, median.seconds, median.kb,
              runs.size());
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "veltconv-log-view-bench";
  std::filesystem::create_directories(dir);
  const std::string log = WriteLog(dir / "veltconv.log");
  std::printf("log: %d lines, %.1f MB; the view shows the last %.1f MB\n", kLines,
              static_cast<double>(std::filesystem::file_size(log)) / (1024.0 * 1024.0),
              static_cast<double>(kShownBytes) / (1024.0 * 1024.0));

  std::vector<Figures> tail;
  for (int i = 0; i < runs; ++i)
    tail.push_back(Measure([&](QTextEdit& view) { velt::LoadLogTail(view, log, kShownBytes); }));
  Report("last part (the view)", tail);
  // Reading the whole file, as before: once, it is slow.
  Report("whole file (before)", {Measure([&](QTextEdit& view) { velt::LoadTextFile(view, log); })});
  std::filesystem::remove_all(dir);
  return 0;
}
