// Inputs that the fuzz targets found to break the program, kept as plain
// tests so that the sanitizer build meets them on every run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/error.h"
#include "table/xbase_expr.h"

namespace velt::testing {
namespace {

using xbase::Expression;

std::vector<FieldInfo> Fields() {
  return {{"NAME", 'C', 12, 0, 1}, {"CODE", 'C', 4, 0, 13}, {"BIG", 'N', 20, 5, 17}};
}

std::string Record(const std::string& name, const std::string& code, const std::string& big) {
  std::string record = " " + name;
  record.resize(13, ' ');
  record += code;
  record.resize(17, ' ');
  record += std::string(20 - big.size(), ' ') + big;
  return record;
}

std::string Key(const std::string& text, const std::string& record) {
  std::string key;
  Expression::Compile(text, Fields()).EvaluateKey(record.data(), key);
  return key;
}

TEST(FuzzFindingsTest, XbaseNumbersJoinsAndNesting) {
  // A wide numeric field with more digits than a 64-bit integer holds.
  const std::string wide = Record("A", "B", "99999999999999999999");
  EXPECT_DOUBLE_EQ(Expression::Compile("BIG", Fields()).EvaluateNumber(wide.data()), 1e20);
  EXPECT_DOUBLE_EQ(
      Expression::Compile("BIG", Fields()).EvaluateNumber(Record("", "", "-1234567890123456789").data()),
      -1234567890123456789.0);

  // Joins with parts that are empty by construction.
  const std::string record = Record("ABC", "0301", "1");
  EXPECT_EQ(Key("RIGHT(NAME,0)+CODE", record), "0301");
  EXPECT_EQ(Key("SUBSTR(NAME,0,3)+LEFT(CODE,2)+RIGHT(NAME,0)", record), "ABC03");
  EXPECT_EQ(Key("NAME-RIGHT(CODE,0)", record), "ABC         ");

  // Deep nesting is refused with the usual message instead of running out of
  // stack; a reasonable depth still compiles.
  const std::string deep = std::string(5000, '(') + "NAME" + std::string(5000, ')');
  try {
    Expression::Compile(deep, Fields());
    ADD_FAILURE() << "deep nesting compiled";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()), "Invalid index expression [" + deep + "]");
  }
  EXPECT_THROW(Expression::Compile(std::string(5000, '-') + "BIG", Fields()), Error);
  EXPECT_THROW(Expression::Compile(std::string(2000, '!') + "NAME='A'", Fields()), Error);
  EXPECT_EQ(Key(std::string(40, '(') + "UPPER(NAME)" + std::string(40, ')'), Record("abc", "", "")),
            "ABC         ");
}

}  // namespace
}  // namespace velt::testing
