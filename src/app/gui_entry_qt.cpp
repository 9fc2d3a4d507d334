// Placeholder for the windows' entry until the main window lands.
#include <cstdio>

int RunWindows(int, char**) {
  std::fprintf(stderr, "usage: veltconv convert ARCHIVE --out DIR [--code-page OEM|ANSI] [--app-dir DIR]\n");
  return 2;
}
