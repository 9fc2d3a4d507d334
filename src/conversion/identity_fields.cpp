#include "conversion/identity_fields.h"

#include <string>

#include "conversion/identity_document.h"
#include "conversion/record_groups.h"
#include "support/char_set.h"
#include "support/code_page.h"
#include "support/snils.h"
#include "support/text.h"

namespace velt {

namespace {

// Insurer codes of the home region are 74 followed by the insurer's own
// number; the home-region tables carry that number alone.
constexpr int kHomeRegionInsurerBase = 74000;

// The part of a text before its first blank (all of it without one).
std::string_view BeforeBlank(std::string_view text) { return text.substr(0, text.find(' ')); }

}  // namespace

PolicyParts SplitPolicy(std::string_view text, bool isNative) {
  const std::string_view typed = TrimView(text);
  std::string digits = FilterChars(typed, DigitChars, kKeep);
  const std::size_t count = digits.size();
  PolicyParts policy;
  if (count == 16) {
    policy.kind = kPolicyUniform;
    policy.number = std::move(digits);
  } else if (count == 9) {
    policy.kind = kPolicyTemporary;
    policy.series = digits.substr(0, 3);
    policy.number = digits.substr(3, 6);
  } else if (isNative && count >= 5 && count <= 8) {
    policy.kind = kPolicyOldStyle;
    policy.number = std::move(digits);
  } else if (!isNative && count >= 1 && count <= 8 && typed.find(' ') != std::string_view::npos) {
    // Other regions write series and number apart; both are kept as typed,
    // letters and hyphens included. The trimmed text cannot start with a
    // blank, so the blank found stands at position 2 or later.
    const std::size_t blank = typed.find(' ');
    policy.kind = kPolicyOldStyle;
    policy.series = std::string(typed.substr(0, blank));
    policy.number = std::string(BeforeBlank(TrimView(typed.substr(blank + 1))));
  } else {
    policy.number = "-1";
  }
  return policy;
}

void PolicyGroup(RecordContext& ctx) {
  // SPOL wins when the archive has both fields.
  std::string_view text;
  if (ctx.Has(In::NPOLIS)) text = ctx.Text(In::NPOLIS);
  if (ctx.Has(In::SPOL)) text = ctx.Text(In::SPOL);
  const PolicyParts policy = SplitPolicy(text, ctx.IsNative);
  ctx.SetInt(Out::VPOLIC, policy.kind);
  ctx.SetText(Out::SPOLIC, policy.series);
  ctx.SetText(Out::NUMBER, policy.number);
}

void NamesGroup(RecordContext& ctx) {
  ctx.SetText(Out::FAMILY, UpperCase(ctx.Text(In::FAM)));
  ctx.SetText(Out::NAME, UpperCase(ctx.Text(In::IMYA)));
  ctx.SetText(Out::FATHER, UpperCase(ctx.Text(In::OTCH)));
}

void BirthDateGroup(RecordContext& ctx) {
  // dd.mm.yyyy; the separators are not looked at. A date-typed field reads
  // in this layout as well.
  std::string_view text;
  if (ctx.Has(In::KOD1)) {
    text = ctx.Text(In::KOD1);
  } else if (ctx.Has(In::DATA_R)) {
    text = ctx.Text(In::DATA_R);
  }
  const int day = IntegerOrFail(Copy(text, 1, 2));
  const int month = IntegerOrFail(Copy(text, 4, 2));
  const int year = IntegerOrFail(Copy(text, 7, 4));
  DateTime date = 0;
  if (!TryEncodeDate(year, month, day, date)) throw GroupFailure();
  ctx.SetDate(Out::DATE, date);
}

void SexGroup(RecordContext& ctx) {
  // Only the Cyrillic capital Em means male; everything else counts as female.
  ctx.SetInt(Out::SEX, ctx.Text(In::POL) == W("М") ? 1 : 0);
}

void IdentityDocumentGroup(RecordContext& ctx) {
  // A rejected document gives three empty texts, which are written all the
  // same; only a failing field access makes this group fail.
  const DocumentParts document = SplitDocument(ctx.Text(In::TDOKUM), ctx.Text(In::NDOKUM));
  ctx.SetText(Out::DOCTYPE, document.type);
  ctx.SetText(Out::DOCSER, document.series);
  ctx.SetText(Out::DOCNUM, document.number);
}

void SnilsGroup(RecordContext& ctx) {
  const std::string digits = FilterChars(ctx.Text(In::SNILS), DigitChars, kKeep);
  if (CheckSnils(digits)) ctx.SetText(Out::SNILS, digits);
}

void InsurerCodeGroup(RecordContext& ctx) {
  const std::string_view key = Copy(ctx.Text(In::SMO), 1, 5);
  Table& insurers = ctx.Ref(Lookup::f002);
  insurers.SetScope(key, key);
  if (insurers.Count() <= 0) return;  // unknown insurer: blank, not a failure
  int value = 0;
  if (ctx.IsNative && TryStrToInt(key, value) && value > 0) {
    ctx.SetText(Out::COD_SMO, std::to_string(value - kHomeRegionInsurerBase));
  } else {
    ctx.SetText(Out::COD_SMO, key);
  }
}

void CaseNumberGroup(RecordContext& ctx) {
  ctx.SetText(Out::NHISTORY, ctx.Text(In::NUMV));
  // The fixed place and purpose of care under which the tariffs are kept.
  ctx.SetInt(Out::PLACE, 20);
  ctx.SetText(Out::PURPOSE, "03");
}

}  // namespace velt
