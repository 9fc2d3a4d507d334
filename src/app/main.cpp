// Entry point: with a command the program runs without a window.
#include <cstdio>
#include <string>

#include "conversion/output_layout.h"
#include "support/error.h"
#include "table/table.h"

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "layout") {
    try {
      velt::Table table("OutNatives");
      table.SetOEMTranslate(true);
      if (!velt::CreateOutputTable(table, argv[2])) {
        std::fprintf(stderr, "cannot create %s\n", argv[2]);
        return 3;
      }
      for (const auto& f : table.Fields()) std::printf("%-10s %c %3d %d\n", f.name.c_str(), f.type, f.width, f.decimals);
      table.Close();
      return 0;
    } catch (const velt::Error& e) {
      std::fprintf(stderr, "%s\n", e.what());
      return 3;
    }
  }
  std::fprintf(stderr, "usage: veltconv layout FILE\n");
  return 2;
}
