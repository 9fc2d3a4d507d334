// Packs a dBase table in place: the records marked deleted are dropped, the
// packed table takes the file's name in one rename.
//
//   velt_pack FILE    prints "packed KEPT of RECORDS"
#include <cstdint>
#include <iostream>
#include <string>

#include "support/code_page.h"
#include "support/error.h"
#include "table/table.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: velt_pack FILE\n";
    return 2;
  }
  try {
    velt::Table table;
    table.SetTableName(velt::Utf8ToAnsi(argv[1]));
    table.SetExclusive(true);
    table.Open();
    const std::int64_t records = table.PhysicalCount();
    table.Pack();
    std::cout << "packed " << table.PhysicalCount() << " of " << records << std::endl;
  } catch (const velt::Error& error) {
    std::cerr << velt::AnsiToUtf8(error.what()) << "\n";
    return 1;
  }
  return 0;
}
