#include "reference/pavk_choice.h"

#include "support/code_page.h"
#include "support/text.h"

namespace velt {

std::string_view PavkChoiceCode(std::string_view choice) {
  const auto dash = choice.find(" - ");
  return TrimView(dash == std::string_view::npos ? choice : choice.substr(0, dash));
}

PavkChoiceResolver::PavkChoiceResolver(std::vector<std::string> choices) : choices_(std::move(choices)) {
  for (const std::string& choice : choices_) {
    upper_.push_back(UpperCase(choice));
    upperCode_.push_back(UpperCase(PavkChoiceCode(choice)));
  }
}

template <typename Fits>
std::optional<std::string> PavkChoiceResolver::Only(Fits fits) const {
  std::optional<std::string> found;
  for (std::size_t i = 0; i < choices_.size(); ++i) {
    if (!fits(i)) continue;
    if (found.has_value()) return std::nullopt;  // several fit: the user must name one
    found = choices_[i];
  }
  return found;
}

std::optional<std::string> PavkChoiceResolver::Resolve(std::string_view typed) const {
  const std::string_view text = TrimView(typed);
  if (text.empty()) return std::string();
  for (const std::string& choice : choices_)
    if (choice == text) return choice;
  const std::string upper = UpperCase(text);
  // A code given whole ("1") means its choice, though "11" and "199"
  // contain it too.
  if (auto byCode = Only([&](std::size_t i) { return upperCode_[i] == upper; })) return byCode;
  return Only([&](std::size_t i) { return upper_[i].find(upper) != std::string::npos; });
}

std::vector<std::string> PavkChoiceResolver::Candidates(std::string_view typed) const {
  const std::string upper = UpperCase(TrimView(typed));
  std::vector<std::string> found;
  for (std::size_t i = 0; i < choices_.size(); ++i)
    if (upper_[i].find(upper) != std::string::npos) found.push_back(choices_[i]);
  return found;
}

}  // namespace velt
