// The one rule by which the editor's cell and a mapping file's import take a
// text for a PAVK choice: never a choice that the text does not name alone.
#include "reference/pavk_choice.h"

#include <gtest/gtest.h>

#include "reference/test_tables.h"

namespace velt::testing {
namespace {

TEST(PavkChoiceTest, TextNamesAChoiceOnlyWhenItFitsOne) {
  const PavkChoiceResolver choices({A("11 - Другое"), A("1 - Несчастный случай"), A("199 - Не определено"),
                                    A("4 - Роды"), A("5 - Патология беременности")});
  using Choice = std::optional<std::string>;
  EXPECT_EQ(choices.Resolve(A("4 - Роды")), Choice(A("4 - Роды")));
  EXPECT_EQ(choices.Resolve("  "), Choice(""));  // the value is cleared
  // A code given whole takes its choice before those that contain it.
  EXPECT_EQ(choices.Resolve(" 1 "), Choice(A("1 - Несчастный случай")));
  EXPECT_EQ(choices.Resolve("19"), Choice(A("199 - Не определено")));
  // Any letter case, Cyrillic too.
  EXPECT_EQ(choices.Resolve(A("  роды ")), Choice(A("4 - Роды")));
  EXPECT_EQ(choices.Resolve(A("ПАТОЛОГИЯ")), Choice(A("5 - Патология беременности")));
  // Several fit, or none: no choice, and the candidates say which.
  EXPECT_EQ(choices.Resolve(A("не")), std::nullopt);
  EXPECT_EQ(choices.Candidates(A("не")),
            (std::vector<std::string>{A("1 - Несчастный случай"), A("199 - Не определено")}));
  EXPECT_EQ(choices.Resolve(A("Травма")), std::nullopt);
  EXPECT_TRUE(choices.Candidates(A("Травма")).empty());
  // The same code twice is no single choice.
  EXPECT_EQ(PavkChoiceResolver({"7 - a", "7 - b"}).Resolve("7"), std::nullopt);
}

}  // namespace
}  // namespace velt::testing
