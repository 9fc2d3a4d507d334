#pragma once
// Call timing, diagnosis, result, brigade and tariff of one call (field
// groups of the record conversion, declared in record_groups.h), and the brigade
// profile table that gives a brigade its specialty and qualification.
#include <string>
#include <string_view>

namespace velt {

// What a brigade's profile letters say about it.
struct Brigade {
  int spec = 0;      // specialty code; 0 when the brigade letter is unknown
  std::string kval;  // qualification letter (1251), empty or one character
  int kind = 0;      // 18 for a feldsher brigade (Ф), 17 for a doctor's (В), else 0
};

// The specialty comes from the brigade letter (PRFB) alone; the
// qualification falls back to the profile letter (PROF) when the brigade
// letter gives none of "9", "Ф", "В". Only the first non-blank character of
// each text counts; an empty text is the blank row.
Brigade ResolveBrigade(std::string_view prof, std::string_view prfb);

// The call date of DPRM (yymmdd) as dd.mm.yyyy, read as the call date group
// reads it; the text as it is when it names no date.
std::string CallDateText(std::string_view dprm);

}  // namespace velt
