#include "reference/reference_tables.h"

#include <exception>
#include <optional>
#include <vector>

#include "support/code_page.h"
#include "support/error.h"
#include "support/file_problem.h"
#include "support/platform.h"
#include "support/text.h"

namespace velt {
namespace {

// The order in which a run opens the tables, and the one in which it frees them.
constexpr std::array<Lookup, kLookupCount> kOpenOrder = {
    Lookup::tr_from, Lookup::tr_reas, Lookup::tr_reas1, Lookup::tr_rslt, Lookup::tr_vid, Lookup::tr_lpu,
    Lookup::tr_trag, Lookup::city,    Lookup::street,   Lookup::f002,    Lookup::tarif,  Lookup::lpu};
constexpr std::array<Lookup, kLookupCount> kReleaseOrder = {
    Lookup::tr_reas, Lookup::tr_reas1, Lookup::tr_from, Lookup::tr_rslt, Lookup::tr_vid, Lookup::tr_lpu,
    Lookup::tr_trag, Lookup::city,     Lookup::tarif,   Lookup::f002,    Lookup::street, Lookup::lpu};

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

const std::string& FolderOf(const RunState& paths, const std::string& name) {
  return name.starts_with("tr") ? paths.mappingDirPath : paths.pavkDirPath;
}

std::string TablePathOf(const RunState& paths, const std::string& name) {
  return ProgramFile(FolderOf(paths, name) + platform::PathSeparator(), name + ".dbf");
}

std::string IndexPathOf(const RunState& paths, const std::string& name) {
  return paths.indexDirPath + platform::PathSeparator() + name + ".ntx";
}

// What a table is for, in the operator's words.
std::string PurposeOf(Lookup slot) {
  switch (slot) {
    case Lookup::tr_reas:
      return VELT_ANSI("связки поводов для вызова (меню «Перекодировка классификаторов»)");
    case Lookup::tr_reas1:
      return VELT_ANSI(
          "связки поводов по причинам несчастного случая (меню «Перекодировка классификаторов»)");
    case Lookup::tr_from:
      return VELT_ANSI("связки мест вызова (меню «Перекодировка классификаторов»)");
    case Lookup::tr_rslt:
      return VELT_ANSI("связки результатов выезда (меню «Перекодировка классификаторов»)");
    case Lookup::tr_vid:
      return VELT_ANSI("связки видов вызова (меню «Перекодировка классификаторов»)");
    case Lookup::tr_lpu:
      return VELT_ANSI("связки ЛПУ (меню «Перекодировка классификаторов»)");
    case Lookup::tr_trag:
      return VELT_ANSI("связки причин несчастного случая (меню «Перекодировка классификаторов»)");
    case Lookup::city:
      return VELT_ANSI("справочник населённых пунктов ТФОМС, для адреса вызова");
    case Lookup::street:
      return VELT_ANSI("справочник улиц ТФОМС, для адреса вызова");
    case Lookup::f002:
      return VELT_ANSI("справочник страховых организаций (F002), для региона полиса");
    case Lookup::tarif:
      return VELT_ANSI("справочник тарифов, для суммы вызова");
    case Lookup::lpu:
      return VELT_ANSI("справочник ЛПУ, для категории станции и вызовов в ЛПУ");
  }
  return {};
}

[[noreturn]] void NotRecoded(const std::string& cause) {
  throw Error(
      VELT_ANSI("Не выполнена перекодировка классификаторов. Выполните ее согласно инструкции к программе") +
      (cause.empty() ? std::string() : "\n" + cause));
}

// Opens one table; a failure names the table file or its folder and why.
std::unique_ptr<Table> OpenShared(const RunState& paths, const std::string& name) {
  auto table = std::make_unique<Table>();
  table->SetOEMTranslate(true);
  table->SetTableName(TablePathOf(paths, name));
  table->SetExclusive(false);
  try {
    table->Open();
  } catch (const std::exception&) {
    const std::string& folder = FolderOf(paths, name);
    if (!platform::DirectoryExists(folder)) NotRecoded(FolderWriteProblem(folder).value_or(""));
    NotRecoded(TableReadProblem(TablePathOf(paths, name)));
  }
  return table;
}

// The fields a run reads from each table, so that one missing is named
// when the table opens, not met at the first call as the engine's English.
std::vector<const char*> RequiredFields(const std::string& name) {
  if (name == "city" || name == "street") return {"NAME", "CODE", "SOCR"};
  if (name == "f002") return {"SMOCOD"};
  if (name == "tarif") return {"COD_SPEC", "CATEGORY", "PLACE", "PURPOSE"};
  if (name == "lpu") return {"NPP", "CATEGORY"};  // ADRESS only for calls to an institution
  return {name == "tr_lpu" ? "VELTNAME" : "VELTCODE", "PAVK"};
}

void RequireFields(const Table& table, const RunState& paths, const std::string& name) {
  for (const char* field : RequiredFields(name))
    if (table.FieldIndex(field) < 0)
      NotRecoded(TableProblemLine(TablePathOf(paths, name),
                                  VELT_ANSI("в таблице ") + name + VELT_ANSI(" нет поля ") + field +
                                      VELT_ANSI(", без него конвертация невозможна")));
}

// Opens and indexes one table.
std::unique_ptr<Table> OpenIndexed(const RunState& paths, const std::string& name,
                                   const IndexDefinition& index) {
  std::unique_ptr<Table> table = OpenShared(paths, name);
  const std::string indexPath = IndexPathOf(paths, name);
  RequireFields(*table, paths, name);
  try {
    const int order = table->Index(indexPath, index.key, 0, true, index.condition);
    table->SetOrder(order);
  } catch (const std::exception& error) {
    if (auto problem = FolderWriteProblem(paths.indexDirPath)) NotRecoded(*problem);
    NotRecoded(VELT_ANSI("Индекс ") + indexPath + VELT_ANSI(" не построен: ") + error.what());
  }
  return table;
}

}  // namespace

const char* LookupName(Lookup slot) {
  static const char* const kNames[kLookupCount] = {"tr_from", "tr_reas", "tr_reas1", "tr_rslt",
                                                   "tr_vid",  "tr_lpu",  "tr_trag",  "city",
                                                   "street",  "f002",    "tarif",    "lpu"};
  return kNames[static_cast<int>(slot)];
}

ReferenceTables::ReferenceTables(const RunState& paths) : paths_(paths) {}

ReferenceTables::~ReferenceTables() {
  try {
    ReleaseAll();
  } catch (const Error&) {
    // A table that fails to close is dropped all the same.
  }
}

void ReferenceTables::Open(const std::string& name) {
  const std::optional<Lookup> slot = SlotOf(name);
  const std::optional<IndexDefinition> index = IndexFor(name);
  if (slot) Release(*slot);
  if (!slot || !index) NotRecoded(VELT_ANSI("Неизвестная таблица ") + name);
  // Whatever the table's own failure, the user's remedy is the recoding;
  // the second line says which file or folder is at fault.
  slots_[static_cast<int>(*slot)] = OpenIndexed(paths_, name, *index);
}

void ReferenceTables::OpenAll() {
  if (const std::string missing = MissingTables(paths_); !missing.empty()) NotRecoded(missing);
  for (Lookup slot : kOpenOrder) Open(LookupName(slot));
}

std::string MissingTables(const RunState& paths) {
  std::string lines;
  auto add = [&lines](const std::string& line) { lines += (lines.empty() ? "" : "\n") + line; };
  // A missing folder is named once, before the tables that belong in it.
  for (const std::string* folder : {&paths.mappingDirPath, &paths.pavkDirPath})
    if (!platform::DirectoryExists(*folder)) add(FolderWriteProblem(*folder).value_or(""));
  for (Lookup slot : kOpenOrder) {
    const std::string path = TablePathOf(paths, LookupName(slot));
    if (platform::FileExists(path) || platform::DirectoryExists(path)) continue;
    add(TableProblemLine(path, VELT_ANSI("не найден; ") + PurposeOf(slot)));
  }
  return lines;
}

Table& ReferenceTables::Ref(Lookup slot) const {
  Table* table = Get(slot);
  if (table == nullptr) throw Error("Cannot perform this operation on a closed table", ErrorKind::Closed);
  return *table;
}

void ReferenceTables::Release(Lookup slot) { slots_[static_cast<int>(slot)].reset(); }

void ReferenceTables::ReleaseAll() {
  for (Lookup slot : kReleaseOrder) {
    if (Table* table = Get(slot)) table->Close();
    Release(slot);
  }
}

const char* MappingKeyField(const Table& table) {
  return UpperCase(table.TableName()).find("TR_LPU") != std::string::npos ? "VELTNAME" : "VELTCODE";
}

int PavkCode(std::string_view pavk) {
  const std::size_t hyphen = pavk.find('-');
  if (hyphen == std::string_view::npos || hyphen < 2) return 0;
  return StrToIntDef(pavk.substr(0, hyphen - 1), 0);
}

RecodeResult RecodeValueEx(std::string_view key, Table& table) {
  const char* keyName = MappingKeyField(table);
  const int keyField = table.FieldByName(keyName).Index();
  const int pavkField = table.FieldByName("PAVK").Index();
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

std::string ReferenceTablePath(const RunState& paths, Lookup slot) {
  return TablePathOf(paths, LookupName(slot));
}

std::string ReferenceIndexPath(const RunState& paths, Lookup slot) {
  return IndexPathOf(paths, LookupName(slot));
}

}  // namespace velt
