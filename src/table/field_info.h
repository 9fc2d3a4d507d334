#pragma once
#include <string>

namespace velt {

// One field of a dBase table as its header describes it.
struct FieldInfo {
  std::string name;  // upper case as stored in the header
  char type = 'C';   // C N F D L I M
  int width = 0;
  int decimals = 0;
  int offset = 0;  // byte offset in the record, the deletion flag being byte 0
};

// How the table presents a field: N without decimals and 1 to 4 wide is an
// integer, any other N (and F) a floating number.
enum class FieldKind { Text, Integer, Float, Date, Logical, Memo };

FieldKind KindOf(const FieldInfo& field);

}  // namespace velt
