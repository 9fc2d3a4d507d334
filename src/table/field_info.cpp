#include "table/field_info.h"

namespace velt {

FieldKind KindOf(const FieldInfo& field) {
  switch (field.type) {
    case 'C':
      return FieldKind::Text;
    case 'D':
      return FieldKind::Date;
    case 'L':
      return FieldKind::Logical;
    case 'M':
      return FieldKind::Memo;
    case 'I':
      return FieldKind::Integer;
    case 'N':
      return field.decimals == 0 && field.width >= 1 && field.width <= 4 ? FieldKind::Integer
                                                                         : FieldKind::Float;
    default:
      return FieldKind::Float;  // F
  }
}

}  // namespace velt
