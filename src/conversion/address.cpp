// The address of a call: settlement and street looked up in the city and
// street references, a medical institution named instead of a street turned
// into the institution's own street address, house and flat numbers split
// into a number and a letter suffix.
//
// This runs once per call record: the references answer through the run's
// lookups, and the texts are built in the run's buffers.
#include "conversion/address.h"

#include <string>

#include "conversion/record_groups.h"
#include "conversion/run_session.h"
#include "conversion/street_name.h"
#include "support/char_set.h"
#include "support/code_page.h"
#include "support/text.h"

namespace velt {
namespace {

// HOUSE and ROOM are four-digit fields; a longer number is treated as no
// number rather than failing the record when it is posted.
constexpr int kLargestHouseNumber = 9999;

// What the first character of CITY says about the settlement.
enum class SettlementKind { None, City, Settlement };

SettlementKind KindOf(std::string_view city) {
  if (city.empty()) return SettlementKind::None;
  if (city.front() == '=') return SettlementKind::City;
  // The word is looked for as typed: "-пос. ..." is not a settlement.
  if (city.front() == '-' && city.find(VELT_ANSI("ПОС")) != std::string_view::npos)
    return SettlementKind::Settlement;
  return SettlementKind::None;
}

void UpperInto(std::string_view text, std::string& out) {
  out.resize(text.size());
  UpperCaseInto(text, out.data());
}

// The code of the named settlement. A name that only one record carries is
// taken whatever its region and type; among several, the first of the home
// region with the type the marker asked for.
bool FindSettlementCode(RunSession& session, SettlementKind kind, std::string_view name, std::string& code) {
  const SettlementRows& rows = session.lookups.Settlement(name);
  if (rows.count == 0) return false;
  if (rows.count == 1)
    code.assign(rows.onlyCode);
  else
    code.assign(kind == SettlementKind::City ? rows.homeCity : rows.homeSettlement);
  return !code.empty();
}

// The institution's number from the tr_lpu mapping, keyed by the whole CITY
// text, "_+" or "_*", and the name; 0 when it is not mapped. An institution
// that neither key maps is reported under the key with the mark as typed.
int MappedInstitution(RunSession& session, std::string_view upperCity, char typedMark, std::string_view name,
                      std::string& key) {
  bool mapped = false;
  for (std::string_view mark : {std::string_view("_+"), std::string_view("_*")}) {
    key.assign(upperCity);
    key += mark;
    key += name;
    const RecodeResult result = session.Recode(Lookup::tr_lpu, key);
    mapped = mapped || result.mapped;
    if (result.code != 0) return result.code;
  }
  if (!mapped) {
    key.assign(upperCity);
    key += '_';
    key += typedMark;
    key += name;
    session.unmapped.Note(UnmappedKind::AddressInstitution, key);
  }
  return 0;
}

// "SETTLEMENT: STREET AS WRITTEN", the report's name of a street not found.
void NoteUnknownStreet(RunSession& session, std::string_view settlement, std::string_view street,
                       std::string& text) {
  text.assign(settlement);
  text += ": ";
  text += TrimView(street);
  session.unmapped.Note(UnmappedKind::Street, text);
}

// Street and house from an institution's address "town, street, house": the
// part after the last comma is the house, the part before it (back to the
// comma before, if any) the street.
void SplitInstitutionAddress(std::string_view address, std::string& street, std::string& house) {
  const std::size_t lastComma = address.rfind(',');
  if (lastComma == std::string_view::npos) {
    house.assign(TrimView(address));
    street.clear();
    return;
  }
  house.assign(TrimView(address.substr(lastComma + 1)));
  std::string_view before = address.substr(0, lastComma);
  const std::size_t previousComma = before.rfind(',');
  if (previousComma != std::string_view::npos) before = before.substr(previousComma + 1);
  street.assign(TrimView(before));
}

// Replaces street and house by those of the institution; false when the
// institution's number is not in the lpu reference.
bool TakeInstitutionAddress(RunSession& session, int institution, std::string& street, std::string& house) {
  const std::string* address = session.lookups.InstitutionAddress(institution);
  if (address == nullptr) return false;
  SplitInstitutionAddress(*address, street, house);
  return true;
}

std::string_view LeadingDigits(std::string_view text) {
  std::size_t n = 0;
  while (n < text.size() && text[n] >= '0' && text[n] <= '9') ++n;
  return text.substr(0, n);
}

void HouseSuffixInto(std::string_view rest, std::string& suffix) {
  suffix.clear();
  for (char c : rest) {
    const char upper = UpperChar(c);
    if (HouseSuffixChars.Contains(upper)) suffix += upper;
  }
}

int HouseNumberValue(std::string_view digits) {
  int value = 0;
  if (digits.empty() || !TryStrToInt(digits, value) || value > kLargestHouseNumber) return 0;
  return value;
}

// A house or flat designation into its number field and its suffix field.
void WriteHouseNumber(RecordContext& ctx, std::string_view text, Out numberField, Out suffixField) {
  std::string& suffix = ctx.session.address.suffix;
  const std::string_view digits = LeadingDigits(text);
  HouseSuffixInto(text.substr(digits.size()), suffix);
  ctx.out.Integer(numberField, HouseNumberValue(digits));
  ctx.out.Text(suffixField, suffix);
}

}  // namespace

void BeginAddress(RunSession& session, std::string_view city, std::string_view street, std::string_view house,
                  AddressResult& result) {
  result.found = false;
  result.streetCode.clear();
  result.house.clear();
  result.institution = 0;
  result.streetPending = false;

  // Without a marker the settlement is never identified, so it is not even
  // looked up.
  const SettlementKind kind = KindOf(city);
  if (kind == SettlementKind::None) return;

  AddressBuffers& b = session.address;
  UpperInto(city, b.upperCity);
  b.name.assign(b.upperCity, 1);  // the marker goes, whatever it is
  RemoveEvery(b.name, VELT_ANSI(" ПОС"));
  RemoveEvery(b.name, VELT_ANSI("ПОС "));
  TrimInPlace(b.name);
  if (!FindSettlementCode(session, kind, b.name, b.settlementCode)) {
    session.unmapped.Note(UnmappedKind::Settlement, b.name);
    return;
  }

  UpperInto(house, result.house);
  UpperInto(street, b.street);
  int institution = 0;
  if (!b.street.empty() && (b.street.front() == '*' || b.street.front() == '+')) {
    const char mark = b.street.front();
    b.street.erase(0, 1);
    institution = MappedInstitution(session, b.upperCity, mark, b.street, b.key);
    // The institution stands in the call's settlement at its own address.
    if (!TakeInstitutionAddress(session, institution, b.street, result.house)) {
      result.house.clear();
      return;
    }
  }

  b.writtenStreet.assign(b.street);
  const std::string_view type = NormaliseStreetName(b.street);
  session.lookups.BeginStreet(b.street, b.settlementCode, type);
  result.streetPending = true;
  result.institution = institution;
  result.found = true;
}

void EndAddress(RunSession& session, AddressResult& result) {
  if (!result.streetPending) return;
  result.streetPending = false;
  AddressBuffers& b = session.address;
  session.lookups.EndStreet(result.streetCode);
  if (result.streetCode.empty()) NoteUnknownStreet(session, b.name, b.writtenStreet, b.key);
}

void ResolveAddress(RunSession& session, std::string_view city, std::string_view street,
                    std::string_view house, AddressResult& result) {
  BeginAddress(session, city, street, house, result);
  EndAddress(session, result);
}

AddressResult ResolveAddress(RunSession& session, std::string_view city, std::string_view street,
                             std::string_view house) {
  AddressResult result;
  ResolveAddress(session, city, street, house, result);
  return result;
}

HouseNumber SplitHouseNumber(std::string_view text) {
  HouseNumber result;
  const std::string_view digits = LeadingDigits(text);
  result.number.assign(digits);
  HouseSuffixInto(text.substr(digits.size()), result.suffix);
  return result;
}

// The address: the seven address fields. A settlement or
// institution that is not found leaves the street code and the house empty
// and LPU_FROM as it was; the flat and the station are written regardless.
void AddressGroup(RecordContext& ctx) {
  BeginAddressGroup(ctx);
  EndAddressGroup(ctx);
}

void BeginAddressGroup(RecordContext& ctx) {
  AddressResult& address = ctx.session.address.result;
  const std::string_view city = ctx.Text(In::CITY);
  const std::string_view street = ctx.Text(In::ULIC);
  const std::string_view house = ctx.Text(In::DOM);
  BeginAddress(ctx.session, city, street, house, address);

  WriteHouseNumber(ctx, address.house, Out::HOUSE, Out::IND_HOUSE);
  if (address.institution > 0) ctx.out.Integer(Out::LPU_FROM, address.institution);
  WriteHouseNumber(ctx, ctx.Text(In::KVAR), Out::ROOM, Out::IND_ROOM);
  ctx.out.Integer(Out::COD_LPU, ctx.session.stationCode);
}

// Without a street begun in this record the field stays blank, as an
// empty code leaves it.
void EndAddressGroup(RecordContext& ctx) {
  AddressResult& address = ctx.session.address.result;
  if (!address.streetPending) return;
  EndAddress(ctx.session, address);
  ctx.out.Text(Out::CITYSTREET, address.streetCode);
}

}  // namespace velt
