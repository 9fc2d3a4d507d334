#pragma once
// The PAVK choice ("code - name", 1251) that a text stands for, one rule for
// the mapping editor's cell and for a mapping file being imported: text is
// never taken for a choice that it does not name alone.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velt {

// The PAVK code of a choice: what stands before its " - ", trimmed.
std::string_view PavkChoiceCode(std::string_view choice);

class PavkChoiceResolver {
 public:
  PavkChoiceResolver() = default;
  explicit PavkChoiceResolver(std::vector<std::string> choices);

  const std::vector<std::string>& Choices() const { return choices_; }

  // The choice that the text stands for, blanks at its ends ignored: ""
  // for no text (the value is cleared), a choice itself, the one choice
  // whose code is the text, or else the one choice that contains the text,
  // ignoring letter case. None when the text fits no choice or several.
  std::optional<std::string> Resolve(std::string_view typed) const;
  // The choices that contain the text, ignoring letter case, in their order.
  std::vector<std::string> Candidates(std::string_view typed) const;

 private:
  // The one choice whose index `fits`, or none when none or several do.
  template <typename Fits>
  std::optional<std::string> Only(Fits fits) const;

  std::vector<std::string> choices_;
  std::vector<std::string> upper_;      // the choices upper-cased
  std::vector<std::string> upperCode_;  // their codes upper-cased
};

}  // namespace velt
