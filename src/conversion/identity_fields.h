#pragma once
// The patient's identity fields of a call record: policy, names, birth date,
// sex, identity document, SNILS, insurer code and case number. The groups
// themselves are declared in record_groups.h.
#include <string>
#include <string_view>

namespace velt {

// Policy kinds as the receiving system numbers them.
inline constexpr int kPolicyUnknown = 0;    // number "-1"
inline constexpr int kPolicyOldStyle = 1;   // short number, or series and number split by a blank
inline constexpr int kPolicyTemporary = 2;  // 9 digits: 3-digit series and 6-digit number
inline constexpr int kPolicyUniform = 3;    // 16 digits

struct PolicyParts {
  int kind = kPolicyUnknown;
  std::string series;
  std::string number;
};

// Splits a policy as typed into the archive. Home-region and other-region
// records differ only for short policies. The second form reuses the
// strings of `policy`.
PolicyParts SplitPolicy(std::string_view text, bool isNative);
void SplitPolicy(std::string_view text, bool isNative, PolicyParts& policy);

}  // namespace velt
