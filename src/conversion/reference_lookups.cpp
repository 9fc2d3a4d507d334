#include "conversion/reference_lookups.h"

#include <cctype>
#include <charconv>
#include <cmath>

#include "conversion/home_region.h"
#include "conversion/output_layout.h"
#include "support/code_page.h"
#include "support/text.h"
#include "table/dbf_value.h"
#include "table/table.h"

namespace velt {
namespace {

// `text` upper-cased equals `word` (a capital constant).
bool UpperEquals(std::string_view text, std::string_view word) {
  if (text.size() != word.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (UpperChar(text[i]) != word[i]) return false;
  return true;
}

// A decimal number as the tarif reference holds it as text ("1234.5"; a
// comma is taken as the decimal point too). False when there is none.
bool TariffNumber(std::string_view text, double& value) {
  std::string number(TrimView(text));
  for (char& c : number)
    if (c == ',') c = '.';
  std::size_t start = !number.empty() && number[0] == '+' ? 1 : 0;
  const char* first = number.data() + start;
  const char* last = number.data() + number.size();
  // Digits, a point or a minus must open it, so "inf" and "nan" stay out.
  if (first == last || !(std::isdigit(static_cast<unsigned char>(*first)) || *first == '.' || *first == '-'))
    return false;
  auto [end, error] = std::from_chars(first, last, value);
  return error == std::errc() && end == last && std::isfinite(value);
}

// A dd.mm.yyyy text as a date (a two-digit year counts from 2000).
bool TariffDate(std::string_view text, DateTime& date) {
  text = TrimView(text);
  int parts[3] = {0, 0, 0};
  int digits[3] = {0, 0, 0};
  int part = 0;
  for (char c : text) {
    if (c == '.') {
      if (++part > 2) return false;
    } else if (c >= '0' && c <= '9' && digits[part] < 4) {
      parts[part] = parts[part] * 10 + (c - '0');
      ++digits[part];
    } else {
      return false;
    }
  }
  if (part != 2 || digits[0] == 0 || digits[1] == 0 || digits[2] == 0) return false;
  int year = digits[2] <= 2 ? 2000 + parts[2] : parts[2];
  return TryEncodeDate(year, parts[1], parts[0], date);
}

}  // namespace

Table& ReferenceLookups::Current(Lookup slot) {
  Table& table = tables_.Ref(slot);
  std::uint64_t& serial = serials_[static_cast<int>(slot)];
  if (serial != table.OpenSerial()) {
    switch (slot) {
      case Lookup::city:
        settlements_.clear();
        break;
      case Lookup::street:
        streets_.reset();
        break;
      case Lookup::lpu:
        institutions_.clear();
        stationState_ = StationState::Unknown;
        break;
      case Lookup::tarif:
        tariffs_.clear();
        break;
      case Lookup::f002:
        insurers_.clear();
        break;
      default:
        break;
    }
    serial = table.OpenSerial();
  }
  return table;
}

const SettlementRows& ReferenceLookups::Settlement(std::string_view name) {
  Table& city = Current(Lookup::city);
  if (const SettlementRows* found = settlements_.Lookup(name)) return *found;
  const RecordRange rows = city.Find(name);
  SettlementRows answer;
  answer.count = static_cast<int>(rows.size());
  if (answer.count > 0) {
    const int code = city.FieldByName("CODE").Index();  // raises for a reference without the field
    const int socr = city.FieldByName("SOCR").Index();
    if (answer.count == 1) answer.onlyCode.assign(city.TextView(rows[0], code));
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const std::string_view rowCode = city.TextView(rows[i], code);
      if (!rowCode.starts_with(kHomeRegionPrefix)) continue;
      const std::string_view type = city.TextView(rows[i], socr);
      if (answer.homeCity.empty() && UpperEquals(type, VELT_ANSI("Г"))) answer.homeCity.assign(rowCode);
      if (answer.homeSettlement.empty() &&
          (UpperEquals(type, VELT_ANSI("П")) || UpperEquals(type, VELT_ANSI("ПГТ"))))
        answer.homeSettlement.assign(rowCode);
    }
  }
  return settlements_.emplace(std::string(name), std::move(answer)).first->second;
}

StreetDirectory& ReferenceLookups::Streets() {
  Table& streets = Current(Lookup::street);
  if (!streets_) {
    auto directory = std::make_unique<StreetDirectory>();
    directory->Refresh(streets);
    streets_ = std::move(directory);
  }
  return *streets_;
}

void ReferenceLookups::BeginStreet(std::string_view name, std::string_view settlementCode,
                                   std::string_view type) {
  Streets().Begin(name, settlementCode, type);
}

void ReferenceLookups::ApproachStreet() const {
  if (streets_) streets_->Approach();
}

bool ReferenceLookups::EndStreet(std::string& code) const { return streets_ && streets_->End(code); }

const std::string* ReferenceLookups::InstitutionAddress(int institution) {
  Table& lpu = Current(Lookup::lpu);
  if (auto found = institutions_.find(institution); found != institutions_.end()) return found->second.get();
  const RecordRange rows = lpu.Find(PadLeft(std::to_string(institution), 4, ' '));
  std::unique_ptr<std::string> address;
  if (!rows.empty()) {
    address =
        std::make_unique<std::string>(UpperCase(lpu.AsString(rows[0], lpu.FieldByName("ADRESS").Index())));
  }
  return institutions_.emplace(institution, std::move(address)).first->second.get();
}

bool ReferenceLookups::StationCategory(int station, int& category) {
  Table& lpu = Current(Lookup::lpu);
  if (stationState_ == StationState::Unknown || station_ != station) {
    const RecordRange rows = lpu.Find(PadLeft(std::to_string(station), 4, ' '));
    if (rows.empty()) {
      stationState_ = StationState::Missing;
    } else {
      // A failure here is not kept: the next call meets it again.
      stationState_ = StationState::Unknown;
      stationCategory_ = lpu.AsInteger(rows[0], lpu.FieldByName("CATEGORY").Index());
      stationState_ = StationState::Found;
    }
    station_ = station;
  }
  if (stationState_ != StationState::Found) return false;
  category = stationCategory_;
  return true;
}

const TariffRow& ReferenceLookups::Tariff(int specialty, int category) {
  const std::uint64_t key = static_cast<std::uint64_t>(static_cast<std::uint32_t>(specialty)) << 32 |
                            static_cast<std::uint32_t>(category);
  Table& tarif = Current(Lookup::tarif);
  if (auto found = tariffs_.find(key); found != tariffs_.end()) return found->second;
  // The index key is the specialty in four positions and the one-digit
  // category, while the key looked up is both numbers unpadded: only a
  // four-digit specialty finds a tariff.
  const RecordRange rows = tarif.Find(std::to_string(specialty) + std::to_string(category));
  TariffRow answer;
  if (!rows.empty()) {
    answer.state = TariffRow::State::TariffFails;
    const int tariffField = tarif.FieldIndex("TARIF");
    if (tariffField >= 0 && TariffNumber(tarif.AsString(rows[0], tariffField), answer.tariff)) {
      answer.state = TariffRow::State::DateFails;
      const OutputField& field = kOutputLayout[static_cast<int>(Out::TARIF)];
      answer.tariffFits =
          dbf::FormatNumber(answer.tariff, field.width, field.decimals, answer.tariffField.data());
      const int dateField = tarif.FieldIndex("DATE_TAR");
      if (dateField >= 0 && TariffDate(tarif.AsString(rows[0], dateField), answer.date))
        answer.state = TariffRow::State::Found;
    }
  }
  return tariffs_.emplace(key, answer).first->second;
}

const InsurerRow& ReferenceLookups::Insurer(std::string_view code) {
  Table& f002 = Current(Lookup::f002);
  if (const InsurerRow* found = insurers_.Lookup(code)) return *found;
  const RecordRange rows = f002.Find(code);
  InsurerRow answer;
  answer.found = !rows.empty();
  if (answer.found) {
    const int okato = f002.FieldIndex("TF_OKATO");
    answer.okatoRead = okato >= 0;
    if (answer.okatoRead) answer.okato = f002.AsString(rows[0], okato);
  }
  return insurers_.emplace(std::string(code), std::move(answer)).first->second;
}

}  // namespace velt
