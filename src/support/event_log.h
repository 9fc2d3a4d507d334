#pragma once
// The event log: one Windows-1251 text file, one line per event, opened,
// appended and closed for every line so that the file is complete after
// each one.
#include <cstdint>
#include <string>

#include "support/date_time.h"
#include "support/platform.h"

namespace velt {

inline constexpr const char* kStampPattern = "dd.mm.yyyy, hh:nn:ss. ";

// dd mm yyyy hh nn ss and ':' as the time separator; other characters are
// copied.
std::string FormatStamp(const std::string& pattern, const platform::LocalTime& moment);

// Appends one line ended by CR LF; characters below 32 in the message
// become blanks. Throws Error when the file cannot be written (a path that
// names no regular file among them). An empty path means the executable's
// path with ".log".
void AddToLog(const std::string& path, const std::string& message, bool stamped, const std::string& pattern);
void EnsureFileExists(const std::string& path);

}  // namespace velt
