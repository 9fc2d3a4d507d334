#include "reference/reference_tables.h"

#include <array>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>

#include "support/code_page.h"
#include "support/platform.h"
#include "support/text.h"
#include "support/user_messages.h"

namespace velt {
namespace {

std::optional<Lookup> SlotOf(const std::string& name) {
  for (int i = 0; i < kLookupCount; ++i) {
    const Lookup slot = static_cast<Lookup>(i);
    if (name == LookupName(slot)) return slot;
  }
  return std::nullopt;
}

struct IndexDefinition {
  std::string key;
  std::string condition;
};

// Mapping tables are keyed by the VELT value, tr_lpu by the institution's
// name; tarif keeps only emergency calls (place 20, purpose 03).
std::optional<IndexDefinition> IndexFor(const std::string& name) {
  if (name == "city" || name == "street") return IndexDefinition{"UPPER(NAME)", ""};
  if (name == "f002") return IndexDefinition{"SMOCOD", ""};
  if (name == "tarif") return IndexDefinition{"STR(COD_SPEC,4)+STR(CATEGORY,1)", "PLACE=20 AND PURPOSE='03'"};
  if (name == "lpu") return IndexDefinition{"STR(NPP,4)", ""};
  if (name.starts_with("tr")) return IndexDefinition{name == "tr_lpu" ? "VELTNAME" : "VELTCODE", ""};
  return std::nullopt;
}

// Opens and indexes one table; engine errors propagate.
std::unique_ptr<Table> OpenIndexed(const std::string& name, const IndexDefinition& index) {
  const RunState& state = State();
  const std::string sep(1, platform::PathSeparator());
  auto table = std::make_unique<Table>();
  table->SetOEMTranslate(true);
  const std::string& folder = name.starts_with("tr") ? state.MappingDirPath : state.PavkDirPath;
  table->SetTableName(ProgramFile(folder + sep, name + ".dbf"));
  table->SetExclusive(false);
  table->Open();
  const int order =
      table->Index(state.IndexDirPath + sep + name + ".ntx", index.key, 0, true, index.condition);
  table->SetOrder(order);
  return table;
}

void ReportNotRecoded() {
  Messages().ShowMessage(
      W("Не выполнена перекодировка классификаторов. Выполните ее согласно инструкции к программе"));
}

// Field positions of a mapping table, resolved once per opened table: the
// lookup runs for several fields of every call record.
struct MappingFields {
  const Table* table = nullptr;
  std::uint64_t openSerial = 0;
  int key = -1;
  int pavk = -1;
};

const MappingFields& FieldsOf(Table& table) {
  static std::array<MappingFields, 16> cache;
  static std::size_t nextVictim = 0;
  const std::uint64_t serial = table.OpenSerial();
  for (const MappingFields& entry : cache) {
    if (entry.table == &table && entry.openSerial == serial) return entry;
  }
  // tr_lpu is recognised by its file path, whatever folder it lies in.
  const bool byName = UpperCase(table.TableName()).find("TR_LPU") != std::string::npos;
  const char* keyName = byName ? "VELTNAME" : "VELTCODE";
  MappingFields fields{&table, serial, table.FieldIndex(keyName), table.FieldIndex("PAVK")};
  // A missing field fails as the engine reports it.
  if (fields.key < 0) table.FieldByName(keyName);
  if (fields.pavk < 0) table.FieldByName("PAVK");
  MappingFields& slot = cache[nextVictim];
  nextVictim = (nextVictim + 1) % cache.size();
  slot = fields;
  return slot;
}

// A PAVK value is written "code - name": the code is what stands before the
// first hyphen, less the blank in front of it.
int PavkCode(std::string_view pavk) {
  const std::size_t hyphen = pavk.find('-');
  if (hyphen == std::string_view::npos || hyphen < 2) return 0;
  return StrToIntDef(pavk.substr(0, hyphen - 1), 0);
}

}  // namespace

bool OpenReferenceTable(const std::string& name) {
  LookupTables& slots = State().LookupTables;
  const std::optional<Lookup> slot = SlotOf(name);
  const std::optional<IndexDefinition> index = IndexFor(name);
  if (slot) slots.Release(*slot);
  if (!slot || !index) {
    ReportNotRecoded();
    return false;
  }
  try {
    slots.slots[static_cast<int>(*slot)] = OpenIndexed(name, *index);
  } catch (const std::exception&) {
    ReportNotRecoded();
    return false;
  }
  return true;
}

RecodeResult RecodeValueEx(std::string_view key, Table& table) {
  const MappingFields& fields = FieldsOf(table);
  const int keyField = fields.key;
  const int pavkField = fields.pavk;
  RecodeResult result;
  table.SetScope(key, key);
  if (table.Count() == 0) return result;
  // The scope may hold keys that differ in trailing blanks; only an exact
  // match counts, and the last one in index order decides.
  for (table.First(); !table.Eof(); table.Next()) {
    if (table.TextView(keyField) != key) continue;
    const std::string_view pavk = table.TextView(pavkField);
    result.code = PavkCode(pavk);
    result.mapped = !TrimView(pavk).empty();
  }
  return result;
}

int RecodeValue(std::string_view key, Table& table) { return RecodeValueEx(key, table).code; }

void ReleaseReferenceTables() {
  static constexpr std::array<Lookup, kLookupCount> kReleaseOrder = {
      Lookup::tr_reas, Lookup::tr_reas1, Lookup::tr_from, Lookup::tr_rslt, Lookup::tr_vid, Lookup::tr_lpu,
      Lookup::tr_trag, Lookup::city,     Lookup::tarif,   Lookup::f002,    Lookup::street, Lookup::lpu};
  LookupTables& slots = State().LookupTables;
  for (Lookup slot : kReleaseOrder) {
    if (Table* table = slots.Get(slot)) table->Close();
    slots.Release(slot);
  }
}

}  // namespace velt
