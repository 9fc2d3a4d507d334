#pragma once
// What a run looks up in its reference tables (settlements, streets,
// institutions, the station, tariffs, insurers), each key's answer found
// once, without moving a cursor: a run's references do not change while it
// goes on. A lookup that fails (a reference without a field it needs) fails
// again at the next call with that key, as it would have without the memo.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "conversion/street_directory.h"
#include "reference/reference_tables.h"
#include "support/date_time.h"
#include "support/text_map.h"

namespace velt {

// The records of one settlement name in the city reference.
struct SettlementRows {
  int count = 0;
  std::string onlyCode;        // CODE of the one record, when there is one
  std::string homeCity;        // CODE of the first home-region record of type Г
  std::string homeSettlement;  // CODE of the first home-region record of type П or ПГТ
};

// The first tariff of a specialty and category.
struct TariffRow {
  enum class State { None, TariffFails, DateFails, Found };
  State state = State::None;
  double tariff = 0;  // when the tariff converted (DateFails, Found)
  DateTime date = 0;  // when both converted
  // The tariff as the TARIF field holds it, when it fits the field.
  std::array<char, 16> tariffField{};
  bool tariffFits = false;
};

// The first f002 record of an insurer code.
struct InsurerRow {
  bool found = false;
  bool okatoRead = false;  // TF_OKATO could be read
  std::string okato;
};

class ReferenceLookups {
 public:
  explicit ReferenceLookups(const ReferenceTables& tables) : tables_(tables) {}

  // city, by the upper-cased settlement name.
  const SettlementRows& Settlement(std::string_view name);
  // street: the first home-region street of that name, settlement and type,
  // in three steps (see StreetDirectory::Begin): the answer of EndStreet is
  // the one the directory gave at BeginStreet.
  void BeginStreet(std::string_view name, std::string_view settlementCode, std::string_view type);
  void ApproachStreet() const;
  bool EndStreet(std::string& code) const;
  // lpu, by institution number: the upper-cased ADRESS of its first record,
  // nullptr when the number is not there.
  const std::string* InstitutionAddress(int institution);
  // lpu, by the station's number: true with the CATEGORY of its first record,
  // false when the station is not there; errors of a CATEGORY that cannot be
  // read as an integer (or is missing) are raised.
  bool StationCategory(int station, int& category);
  // tarif, by specialty and category.
  const TariffRow& Tariff(int specialty, int category);
  // f002, by the insurer code (the first five characters of SMO).
  const InsurerRow& Insurer(std::string_view code);

 private:
  // The table of a slot; what was found in an earlier open of it is dropped.
  Table& Current(Lookup slot);
  StreetDirectory& Streets();

  const ReferenceTables& tables_;
  std::array<std::uint64_t, kLookupCount> serials_{};
  TextMap<SettlementRows> settlements_;
  std::unique_ptr<StreetDirectory> streets_;
  std::unordered_map<int, std::unique_ptr<std::string>> institutions_;
  // The station's row: its number, and the category or why there is none.
  enum class StationState { Unknown, Missing, Found };
  StationState stationState_ = StationState::Unknown;
  int station_ = 0;
  int stationCategory_ = 0;
  std::unordered_map<std::uint64_t, TariffRow> tariffs_;
  TextMap<InsurerRow> insurers_;
};

}  // namespace velt
