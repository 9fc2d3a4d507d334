// The output record formats its values itself, on the record loop's fast
// path; what it writes must stay byte for byte what the table layer writes.
#include "conversion/output_record.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "support/char_set.h"
#include "support/code_page.h"
#include "table/dbf_value.h"

namespace velt::testing {
namespace {

std::string FieldOf(const std::string& record, Out field) {
  const auto i = static_cast<int>(field);
  return record.substr(static_cast<std::size_t>(kOutputOffsets[i]),
                       static_cast<std::size_t>(kOutputLayout[i].width));
}

TEST(OutputRecordTest, IntegersAreRightJustifiedAsTheTableLayerWritesThem) {
  const std::vector<int> values = {0,        1,         9,       10,      99,          100,    999,  1000,
                                   12345,    99999,     100000,  -1,      -9,          -10,    -999, 1234567,
                                   98765432, 100000000, INT_MAX, INT_MIN, INT_MIN + 1, -100000};
  for (Out field : {Out::SEX, Out::SP_BRIG, Out::SP_KM, Out::N_ZAP, Out::LPU_TO}) {
    const int width = kOutputLayout[static_cast<int>(field)].width;
    for (int value : values) {
      for (bool over : {false, true}) {
        // Written over a longer value first, so that what is left of it
        // shows, or first into the blank field.
        std::string record(kOutputRecordLength, ' ');
        OutputRecord out(record.data());
        if (over) out.Integer(field, -123456789);
        out.Integer(field, value);
        std::string expected(static_cast<std::size_t>(width), '?');
        const bool fits = dbf::FormatInteger(value, width, 0, expected.data());
        SCOPED_TRACE(std::to_string(value) + " in width " + std::to_string(width) + (over ? " over" : ""));
        EXPECT_EQ(out.OutOfBoundsAt(field), !fits);
        if (fits) {
          EXPECT_EQ(FieldOf(record, field), expected);
        } else if (!over) {
          EXPECT_EQ(FieldOf(record, field), std::string(static_cast<std::size_t>(width), ' '));
        }
        // A later write of a digit replaces whatever stands there.
        out.Integer(field, 7);
        EXPECT_EQ(FieldOf(record, field), std::string(static_cast<std::size_t>(width - 1), ' ') + "7");
        EXPECT_FALSE(out.OutOfBoundsAt(field));
      }
    }
  }
}

TEST(OutputRecordTest, SeparatorsAreFoundAtEveryPlaceOfShortAndLongValues) {
  for (Out field : {Out::FILE_TYPE, Out::DOCTOR, Out::FAMILY}) {
    const auto width = static_cast<std::size_t>(kOutputLayout[static_cast<int>(field)].width);
    for (std::size_t length = 1; length <= 20; ++length) {
      for (std::size_t at = 0; at < length; ++at) {
        for (char junk : {'#', '=', '|'}) {
          std::string value(length, 'A');
          value[at] = junk;
          std::string record(kOutputRecordLength, ' ');
          OutputRecord out(record.data());
          out.Text(field, value);
          std::string expected = value.substr(0, width);
          std::erase(expected, junk);
          expected.resize(width, ' ');
          ASSERT_EQ(FieldOf(record, field), expected) << value;
        }
      }
      // Nothing to drop: the value stays as written, and a blank or a
      // separator after the field's end is none of its own.
      std::string record(kOutputRecordLength, '#');
      OutputRecord out(record.data());
      out.Text(field, std::string(length, 'B'));
      std::string expected(std::min(length, width), 'B');
      expected.resize(width, '#');
      EXPECT_EQ(FieldOf(record, field), expected) << length;
    }
  }
}

TEST(OutputRecordTest, UpperCasingNeitherMakesNorTakesASeparator) {
  for (int c = 0; c < 256; ++c) {
    const char byte = static_cast<char>(c);
    EXPECT_EQ(FieldJunkChars.Contains(UpperChar(byte)), FieldJunkChars.Contains(byte)) << c;
  }
}

}  // namespace
}  // namespace velt::testing
