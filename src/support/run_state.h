#pragma once
// The one process-wide record of the program's state, zero at start,
// written only by the user-interface thread: its paths and settings. What a
// run works with lives in the run's own session, its cancel with whoever
// drives it (support/cancel_token.h); a run on a thread of its own reads
// the paths and settings, which do not change while it goes.
#include <string>

namespace velt {

struct RunState {
  // Set once at start-up from the program's own folder.
  std::string appDir;  // ends with the path separator
  std::string exeBaseName;
  std::string mappingDirPath;
  std::string indexDirPath;
  std::string pavkDirPath;
  std::string logFilePath;

  std::string inputCodePage = "OEM";  // "OEM" or "ANSI"
};

RunState& State();

// appDir (with its trailing separator added when missing) and the members
// derived from it: exeBaseName is the executable's file name before its
// first "."; the joins are plain concatenations, as existing installations
// expect (a doubled separator is harmless).
void DerivePaths(RunState& state, const std::string& appDir, const std::string& exeFileName);

// Path of one of the program's own files in a folder: the exact name, else
// a name that differs only in letter case (installations copied from
// Windows).
std::string ProgramFile(const std::string& directory, const std::string& name);

}  // namespace velt
