#include "conversion/identity_fields.h"

#include <charconv>
#include <string>

#include "conversion/home_region.h"
#include "conversion/identity_document.h"
#include "conversion/record_groups.h"
#include "conversion/run_session.h"
#include "support/char_set.h"
#include "support/code_page.h"
#include "support/snils.h"
#include "support/text.h"

namespace velt {

namespace {

// The home-region tables carry the insurer's own number alone.
// The part of a text before its first blank (all of it without one).
std::string_view BeforeBlank(std::string_view text) { return text.substr(0, text.find(' ')); }

}  // namespace

void SplitPolicy(std::string_view text, bool isNative, PolicyParts& policy) {
  const std::string_view typed = TrimView(text);
  std::string& digits = policy.number;
  digits.resize(typed.size());
  std::size_t count = 0;
  for (char c : typed)
    if (DigitChars.Contains(c)) digits[count++] = c;
  digits.resize(count);
  policy.kind = kPolicyUnknown;
  policy.series.clear();
  if (count == 16) {
    policy.kind = kPolicyUniform;
  } else if (count == 9) {
    policy.kind = kPolicyTemporary;
    policy.series.assign(digits, 0, 3);
    digits.erase(0, 3);
  } else if (isNative && count >= 5 && count <= 8) {
    policy.kind = kPolicyOldStyle;
  } else if (!isNative && count >= 1 && count <= 8 && typed.find(' ') != std::string_view::npos) {
    // Other regions write series and number apart; both are kept as typed,
    // letters and hyphens included. The trimmed text cannot start with a
    // blank, so the blank found stands at position 2 or later.
    const std::size_t blank = typed.find(' ');
    policy.kind = kPolicyOldStyle;
    policy.series.assign(typed.substr(0, blank));
    policy.number.assign(BeforeBlank(TrimView(typed.substr(blank + 1))));
  } else {
    policy.number = "-1";
  }
}

PolicyParts SplitPolicy(std::string_view text, bool isNative) {
  PolicyParts policy;
  SplitPolicy(text, isNative, policy);
  return policy;
}

void PolicyGroup(RecordContext& ctx) {
  // SPOL wins when the archive has both fields.
  std::string_view text;
  if (ctx.Has(In::NPOLIS)) text = ctx.Text(In::NPOLIS);
  if (ctx.Has(In::SPOL)) text = ctx.Text(In::SPOL);
  PolicyParts& policy = ctx.session.policy;
  SplitPolicy(text, ctx.isNative, policy);
  ctx.out.Integer(Out::VPOLIC, policy.kind);
  ctx.out.Text(Out::SPOLIC, policy.series);
  ctx.out.Text(Out::NUMBER, policy.number);
}

void NamesGroup(RecordContext& ctx) {
  ctx.out.UpperText(Out::FAMILY, ctx.Text(In::FAM));
  ctx.out.UpperText(Out::NAME, ctx.Text(In::IMYA));
  ctx.out.UpperText(Out::FATHER, ctx.Text(In::OTCH));
}

bool BirthDateGroup(RecordContext& ctx) {
  // dd.mm.yyyy; the separators are not looked at. A date-typed field reads
  // in this layout as well.
  std::string_view text;
  if (ctx.Has(In::KOD1)) {
    text = ctx.Text(In::KOD1);
  } else if (ctx.Has(In::DATA_R)) {
    text = ctx.Text(In::DATA_R);
  }
  int day = 0, month = 0, year = 0;
  DateTime date = 0;
  if (!TryStrToInt(Copy(text, 1, 2), day) || !TryStrToInt(Copy(text, 4, 2), month) ||
      !TryStrToInt(Copy(text, 7, 4), year) || !TryEncodeDate(year, month, day, date))
    return false;
  ctx.out.Date(Out::DATE, date, DateParts{year, month, day});
  return true;
}

void SexGroup(RecordContext& ctx) {
  // Only the Cyrillic capital Em means male; everything else counts as female.
  ctx.out.Integer(Out::SEX, ctx.Text(In::POL) == VELT_ANSI("М") ? 1 : 0);
}

void IdentityDocumentGroup(RecordContext& ctx) {
  // A rejected document gives three empty texts, which are written all the
  // same; only a failing field access makes this group fail.
  const DocumentParts document = SplitDocument(ctx.Text(In::TDOKUM), ctx.Text(In::NDOKUM));
  ctx.out.Text(Out::DOCTYPE, document.type);
  ctx.out.Text(Out::DOCSER, document.series);
  ctx.out.Text(Out::DOCNUM, document.number);
}

void SnilsGroup(RecordContext& ctx) {
  // Eleven digits at most are kept: more fail the check anyway.
  char digits[12];
  std::size_t count = 0;
  for (char c : ctx.Text(In::SNILS)) {
    if (!DigitChars.Contains(c)) continue;
    if (count == sizeof digits) return;
    digits[count++] = c;
  }
  const std::string_view number(digits, count);
  if (CheckSnils(number)) ctx.out.Text(Out::SNILS, number);
}

void InsurerCodeGroup(RecordContext& ctx) {
  const std::string_view key = Copy(ctx.Text(In::SMO), 1, 5);
  ctx.insurer = &ctx.session.lookups.Insurer(key);
  if (!ctx.insurer->found) return;  // unknown insurer: blank, not a failure
  int value = 0;
  if (ctx.isNative && TryStrToInt(key, value) && value > 0) {
    char text[16];
    const auto end = std::to_chars(text, text + sizeof text, value - kHomeRegionInsurerBase).ptr;
    ctx.out.Text(Out::COD_SMO, std::string_view(text, static_cast<std::size_t>(end - text)));
  } else {
    ctx.out.Text(Out::COD_SMO, key);
  }
}

void CaseNumberGroup(RecordContext& ctx) {
  ctx.out.Text(Out::NHISTORY, ctx.Text(In::NUMV));
  // The fixed place and purpose of care under which the tariffs are kept.
  ctx.out.Integer(Out::PLACE, 20);
  ctx.out.Text(Out::PURPOSE, "03");
}

}  // namespace velt
