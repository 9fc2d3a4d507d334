#pragma once
// Special conditions and registry fields of one call (field groups of the
// record conversion, declared in record_groups.h), and the two helpers that
// turn a stage time of the call into a moment and a moment into the
// receiving system's stamp.
#include <string>
#include <string_view>

#include "support/date_time.h"

namespace velt {

// The moment of an hh:mm stage time of a call that started at `base`: on the
// day of `base`, or on the next day when that would lie before `base` (the
// stage came after midnight). 0 when the text gives no time of day.
DateTime StageMoment(std::string_view time, DateTime base);

// "yyyy-mm-ddThh:nn" (16 characters, seconds dropped), into `out`.
std::string_view FormatMinuteStamp(DateTime moment, char (&out)[16]);
std::string FormatMinuteStamp(DateTime moment);

}  // namespace velt
