// xBase key and condition expressions of any text, compiled against a fixed
// field list (every field type a table may hold) and evaluated on records
// with ordinary, blank and damaged values. A key is always KeyWidth() long.
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "support/error.h"
#include "table/xbase_expr.h"

namespace {

using velt::FieldInfo;

std::vector<FieldInfo> MakeFields() {
  std::vector<FieldInfo> fields = {
      {"NAME", 'C', 12, 0, 0},  {"VELTCODE", 'C', 5, 0, 0},  {"COD_SPEC", 'N', 4, 0, 0},
      {"TARIF", 'N', 12, 2, 0}, {"BIG", 'N', 20, 5, 0},      {"DATE_R", 'D', 8, 0, 0},
      {"ACTIVE", 'L', 1, 0, 0}, {"RATE", 'F', 10, 3, 0},     {"NOTE", 'M', 10, 0, 0},
      {"CNT", 'I', 4, 0, 0},    {"LONGTEXT", 'C', 254, 0, 0}};
  int offset = 1;
  for (FieldInfo& field : fields) {
    field.offset = offset;
    offset += field.width;
  }
  return fields;
}

const std::vector<FieldInfo>& Fields() {
  static const std::vector<FieldInfo> fields = MakeFields();
  return fields;
}

std::string Record(const std::vector<std::string>& values) {
  std::string record(1, ' ');
  for (std::size_t i = 0; i < Fields().size(); ++i) {
    std::string value = values[i];
    value.resize(static_cast<std::size_t>(Fields()[i].width), ' ');
    record += value;
  }
  return record;
}

const std::array<std::string, 3>& Records() {
  static const std::array<std::string, 3> records = {
      Record({"\xC8\xE2\xE0\xED\xEE\xE2", "0301", "1439", "    1234.56", "-12345678901234.12345", "20240131",
              "T", "    -1.500", "         7", std::string("\x2A\0\0\0", 4), "x"}),
      Record({"", "", "", "", "", "", "", "", "", std::string(4, '\0'), ""}),
      Record({"\xFF\x01\x7F", "*", "1e99", "--..", "9999999999999999999", "20241399", "?", "NaN", "\xFF\xFF",
              "\xFF\xFF\xFF\x7F", std::string(254, '\xFF')})};
  return records;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::optional<velt::xbase::Expression> expression;
  try {
    expression.emplace(velt::xbase::Expression::Compile(velt::fuzz::Bytes(data, size), Fields()));
  } catch (const velt::Error&) {
    return 0;
  }
  const int width = expression->KeyWidth();
  if (width < 0) velt::fuzz::Fail("a negative key width");
  std::string key;
  for (const std::string& record : Records()) {
    expression->EvaluateKey(record.data(), key);
    if (key.size() != static_cast<std::size_t>(width)) velt::fuzz::Fail("a key of another width");
    (void)expression->EvaluateNumber(record.data());
    (void)expression->EvaluateLogical(record.data());
  }
  return 0;
}
