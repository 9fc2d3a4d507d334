#pragma once
// The xBase expression language of index keys and conditions: field names in
// any case, character and numeric literals, parentheses, + and -, the
// comparisons = == <> # != < <= > >=, AND OR NOT (also .AND. .OR. .NOT. !),
// and UPPER LOWER STR VAL TRIM RTRIM LTRIM ALLTRIM SUBSTR LEFT RIGHT DTOS IIF.
//
// An expression is compiled once against a table's fields and then evaluated
// against raw record buffers (the record's bytes as in the file, after code
// page translation, deletion flag at byte 0).
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "table/field_info.h"

namespace velt::xbase {

enum class ValueType { Character, Numeric, Date, Logical };

class Expression {
 public:
  // Throws Error("Invalid index expression [" + text + "]") when the text does
  // not parse, names a field the table lacks, or mixes types.
  static Expression Compile(std::string_view text, const std::vector<FieldInfo>& fields);

  Expression(Expression&&) noexcept;
  Expression& operator=(Expression&&) noexcept;
  ~Expression();

  ValueType Type() const;
  // Width of a key made from this expression: for a character expression the
  // largest length it can give (results are padded with blanks to it); for a
  // numeric one the width of its STR form; 8 for a date.
  int KeyWidth() const;
  int KeyDecimals() const;

  // Character result, padded with blanks to KeyWidth(); a date gives DTOS
  // form; a number gives its STR form of KeyWidth()/KeyDecimals().
  void EvaluateKey(const char* record, std::string& out) const;
  double EvaluateNumber(const char* record) const;
  bool EvaluateLogical(const char* record) const;

 private:
  struct Impl;
  explicit Expression(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace velt::xbase
