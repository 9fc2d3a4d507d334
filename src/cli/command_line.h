#pragma once
// The program without a window: `veltconv convert ...` and `veltconv join ...`.

namespace velt {

// True when the arguments name a command (the program then runs headless).
bool IsCommandLineCall(int argc, char** argv);

// Runs the command; the result is the process's exit status: 0 a run that
// ended as completed, 1 a cancelled run or an early end, 2 wrong arguments,
// 3 an error that ended the run (an unexpected one too) or a folder that
// cannot be written, 4 a run that completed with a warning that its result
// is doubtful. Several archives: the highest of their runs' statuses.
int RunCommandLine(int argc, char** argv);

}  // namespace velt
