#pragma once
// `veltconv convert`: each archive in turn as a run of its own, exactly as
// the window's button runs one, with its summary, and a total for several.
#include <string>
#include <vector>

namespace velt {

struct ConvertOptions {
  std::vector<std::string> archives;  // all arguments UTF-8 as given
  std::string outDir, codePage, appDir, reportPath, problemsPath;
  char csvSeparator = ',';  // of the --report and --problems files
};

// The command's exit status (cli/exit_status.h): the gravest of the runs'.
int Convert(const ConvertOptions& options);

}  // namespace velt
