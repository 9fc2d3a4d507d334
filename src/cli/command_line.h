#pragma once
// The program without a window: `veltconv convert ...` and `veltconv join ...`.

namespace velt {

// True when the arguments name a command (the program then runs headless).
bool IsCommandLineCall(int argc, char** argv);

// Runs the command; the result is the process's exit status: 0 a run that
// ended as completed, 1 a cancelled run or an early end, 2 wrong arguments,
// 3 an error that ended the run (an unexpected one too), 4 a run that
// completed but skipped damaged archive records.
int RunCommandLine(int argc, char** argv);

}  // namespace velt
