// Placeholder: address resolution.
#include "conversion/address.h"

#include "conversion/record_groups.h"

namespace velt {

AddressResult ResolveAddress(std::string_view, std::string_view, std::string_view) { return {}; }
HouseNumber SplitHouseNumber(std::string_view) { return {}; }
void AddressGroup(RecordContext&) {}

}  // namespace velt
