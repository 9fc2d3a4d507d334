#pragma once
// Address resolution: the settlement and street of a call against the
// settlement and street references, institutions turned into their own
// street address, and the split of house and flat numbers.
#include <string>
#include <string_view>

namespace velt {

class RunSession;

// The resolved address. It travels as a structure, never as a joined text,
// so that nothing typed into a house number can pass for an institution.
struct AddressResult {
  bool found = false;      // false: the settlement (or institution) was not identified
  std::string streetCode;  // empty when the street was not found
  std::string house;       // the house text (the institution's own for an institution)
  int institution = 0;     // the institution number, 0 for a street
  // The street's lookup is begun and its code not yet known (see
  // BeginAddress).
  bool streetPending = false;
};

// Working texts of one resolution, kept by the run so that their capacity
// is reused from call to call.
struct AddressBuffers {
  AddressResult result;
  std::string upperCity;
  std::string name;
  std::string street;
  std::string key;
  std::string settlementCode;
  std::string writtenStreet;  // the street before its type is cut off
  std::string suffix;
};

// Through the run's references; the texts must not point into `buffers`.
void ResolveAddress(RunSession& session, std::string_view city, std::string_view street,
                    std::string_view house, AddressResult& result);
// The same in two steps: BeginAddress resolves all but the street code,
// whose lookup it begins, and EndAddress gives the street code (and notes
// an unknown street). Between them the run may convert other fields while
// the street's entry is fetched from memory.
void BeginAddress(RunSession& session, std::string_view city, std::string_view street, std::string_view house,
                  AddressResult& result);
void EndAddress(RunSession& session, AddressResult& result);
AddressResult ResolveAddress(RunSession& session, std::string_view city, std::string_view street,
                             std::string_view house);

struct HouseNumber {
  std::string number;  // leading digits
  std::string suffix;  // the rest upper-cased, digits and capital Cyrillic letters only
};
HouseNumber SplitHouseNumber(std::string_view text);

}  // namespace velt
