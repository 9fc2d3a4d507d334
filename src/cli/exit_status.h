#pragma once
// The exit statuses of the commands.

namespace velt {

// kDoubtful: the run completed but a warning says its result is doubtful
// (damaged records skipped, an archive cut short, text that looks like the
// other code page, ...), which a script must not take for a clean success.
constexpr int kCompleted = 0;
constexpr int kCancelled = 1;
constexpr int kWrongArguments = 2;
constexpr int kFailed = 3;
constexpr int kDoubtful = 4;
// Ctrl-C: the shell's status of a command ended by an interrupt.
constexpr int kInterrupted = 130;

}  // namespace velt
