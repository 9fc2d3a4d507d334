// Entry point: with a command the program runs without a window; without one
// it opens the main window.
#include <cstdio>

#include "cli/command_line.h"
#include "support/platform.h"

#ifdef VELT_WITH_GUI
int RunWindows(int argc, char** argv);
#endif

int main(int argc, char** argv) {
  if (velt::IsCommandLineCall(argc, argv)) {
    velt::platform::Utf8CommandLine arguments(argc, argv);
    return velt::RunCommandLine(arguments.Count(), arguments.Values());
  }
#ifdef VELT_WITH_GUI
  if (!velt::platform::DisplayAvailable()) {
    // Qt would abort without a word; the operator hears why and what works.
    std::fprintf(stderr,
                 "Окно программы не открыть: нет дисплея (не задан DISPLAY). Без окна работают команды, "
                 "их показывает veltconv --help.\n");
    return 2;
  }
  return RunWindows(argc, argv);
#else
  std::fprintf(stderr,
               "Эта сборка программы без окна: работают только команды, их показывает veltconv --help.\n");
  return 2;
#endif
}
