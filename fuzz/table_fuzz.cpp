// A dBase file of any bytes, opened and walked as the program walks an
// archive: header, fields, records, deletion flags, every field read as
// text, number and date, then an index on the first field and a scope.
// The walk must visit exactly Count() records in ascending record order.
#include <string>

#include "fuzz_support.h"
#include "support/error.h"
#include "table/table.h"

namespace {

using velt::Table;

void ReadEveryField(const Table& table) {
  for (int i = 0; i < table.FieldCount(); ++i) {
    (void)table.AsString(i);
    (void)table.TextView(i);
    (void)table.AsInteger(i);
    (void)table.AsFloat(i);
    (void)table.AsDateTime(i);
    (void)table.IsNull(i);
  }
}

// Walks the current order; the number of records visited.
int Walk(Table& table, bool physicalOrder) {
  int visited = 0;
  int last = 0;
  for (table.First(); !table.Eof(); table.Next()) {
    if (table.IsDeleted()) velt::fuzz::Fail("a deleted record is visible");
    if (physicalOrder && table.RecNo() <= last) velt::fuzz::Fail("record numbers do not ascend");
    last = table.RecNo();
    ReadEveryField(table);
    if (++visited > table.PhysicalCount()) velt::fuzz::Fail("the walk does not end");
  }
  return visited;
}

// Every physical record, deleted ones included, reached by its number.
void VisitByNumber(Table& table) {
  for (int recno = 1; recno <= table.PhysicalCount() + 1; ++recno) {
    table.GoTo(recno);
    if (!table.Eof()) ReadEveryField(table);
  }
}

void IndexOnFirstField(Table& table, const std::string& ntx) {
  if (table.FieldCount() == 0) return;
  const velt::FieldInfo& field = table.Field(0);
  if (field.type != 'C' && field.type != 'N' && field.type != 'D') return;
  int order = table.Index(ntx, field.name, 0, field.width % 2 == 1, "");
  table.SetOrder(order);
  if (Walk(table, false) != table.Count()) velt::fuzz::Fail("index walk differs from Count");
  table.First();
  if (table.Eof()) return;
  std::string key = table.AsString(0);
  table.SetScope(key, key);
  (void)table.Count();
  Walk(table, false);
  table.CancelScope();
  table.SetOrder(0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = velt::fuzz::ScratchDir() + "F1232401.DBF";
  static const std::string ntx = velt::fuzz::ScratchDir() + "F1232401.NTX";
  velt::fuzz::WriteFile(path, velt::fuzz::Bytes(data, size));
  Table table("VELTDBF");
  // The last byte picks the code page, so both readings are explored.
  table.SetOEMTranslate(size > 0 && (data[size - 1] & 1) != 0);
  table.SetTableName(path);
  try {
    table.Open();
  } catch (const velt::Error&) {
    return 0;
  }
  try {
    int visited = Walk(table, true);
    if (visited != table.Count()) velt::fuzz::Fail("walk differs from Count");
    VisitByNumber(table);
    IndexOnFirstField(table, ntx);
  } catch (const velt::Error&) {
  }
  return 0;
}
