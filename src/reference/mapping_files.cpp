#include "reference/mapping_files.h"

#include "reference/reference_tables.h"
#include "support/error.h"
#include "support/platform.h"
#include "support/run_state.h"

namespace velt {
namespace {

// The table object is handed back closed, also when an engine error leaves.
class ClosesOnExit {
 public:
  explicit ClosesOnExit(Table& table) : table_(table) {}
  ~ClosesOnExit() { table_.Close(); }
  ClosesOnExit(const ClosesOnExit&) = delete;
  ClosesOnExit& operator=(const ClosesOnExit&) = delete;

 private:
  Table& table_;
};

// One of the program's files in the mapping folder (any letter case).
std::string MappingFolderFile(const std::string& name) {
  return ProgramFile(State().mappingDirPath + platform::PathSeparator(), name);
}

void OpenWithTranslation(Table& table, const std::string& path) {
  table.Close();
  table.SetOEMTranslate(true);
  table.SetTableName(path);
  table.Open();
}

void CreateEmptyMappingTable(Table& table, const std::string& path) {
  table.Close();
  table.SetOEMTranslate(true);
  table.CreateNew(path, 2, 3);
  table.CreateField("veltcode", "C", 5, 0);
  table.CreateField("veltname", "C", 100, 0);
  table.CreateField("pavk", "C", 100, 0);
  try {
    table.CreateExec();
  } catch (const Error& error) {
    // A file that could not be written at all is reported by the open that
    // follows, as the table that does not exist.
    if (!error.Unavailable()) throw;
  }
  table.Close();
}

// Copies the kind's default VELT values into the open mapping table; the
// PAVK column stays empty until the user maps them.
void SeedMappingTable(int kind, Table& mapping) {
  Table defaults;
  defaults.SetOEMTranslate(true);
  defaults.SetTableName(MappingFolderFile("VELT_DEFCODES.DBF"));
  defaults.Open();
  const std::string indexFile = State().indexDirPath + platform::PathSeparator() + "VELT_DEFCODES.ntx";
  defaults.SetOrder(defaults.Index(indexFile, "DIR_ID", 0, false, ""));
  const std::string kindText = std::to_string(kind);
  defaults.SetScope(kindText, kindText);

  const FieldRef fromCode = defaults.FieldByName("VELTCODE");
  const FieldRef fromName = defaults.FieldByName("VELTNAME");
  const FieldRef toCode = mapping.FieldByName("VELTCODE");
  const FieldRef toName = mapping.FieldByName("VELTNAME");
  for (defaults.First(); !defaults.Eof(); defaults.Next()) {
    mapping.Append();
    toCode.SetString(fromCode.AsString());
    toName.SetString(fromName.AsString());
    mapping.Post();
  }
  defaults.Close();
}

}  // namespace

std::string MappingTableName(int kind) {
  Lookup mapping;
  switch (kind) {
    case 1:
      mapping = Lookup::tr_reas;
      break;
    case 11:
      mapping = Lookup::tr_reas1;
      break;
    case 2:
      mapping = Lookup::tr_from;
      break;
    case 3:
      mapping = Lookup::tr_rslt;
      break;
    case 4:
      mapping = Lookup::tr_vid;
      break;
    case 5:
      mapping = Lookup::tr_lpu;
      break;
    case 6:
      mapping = Lookup::tr_trag;
      break;
    default:
      return "";
  }
  return std::string(LookupName(mapping)) + ".dbf";
}

std::string MappingTablePath(int kind) { return MappingFolderFile(MappingTableName(kind)); }

PavkChoices LoadPavkChoices(int kind, Table& table) {
  OpenWithTranslation(table, MappingFolderFile("PAVK_VALUES.dbf"));
  ClosesOnExit closer(table);
  // The accident-cause reasons share the reasons' PAVK list, but a code with
  // "99" in it (the "other reason" entries) cannot be chosen there.
  const int wantedDirectory = (kind == 1 || kind == 11) ? 1 : kind;
  const bool skipNines = kind == 11;
  const int directory = table.FieldByName("DIR_ID").Index();
  const int code = table.FieldByName("PAVK_CODE").Index();
  const int name = table.FieldByName("PAVK_NAME").Index();
  const int directoryName = table.FieldByName("DIRNAME").Index();

  PavkChoices result;
  for (table.First(); !table.Eof(); table.Next()) {
    if (table.AsInteger(directory) != wantedDirectory) continue;
    std::string choice = table.AsString(code);
    if (skipNines && choice.find("99") != std::string::npos) continue;
    choice += " - ";
    choice += table.AsString(name);
    result.choices.push_back(std::move(choice));
    result.classifierName = table.AsString(directoryName);
  }
  return result;
}

std::string EnsureMappingTable(int kind, Table& table) {
  const std::string name = MappingTableName(kind);
  if (name.empty()) return "";
  const std::string path = MappingFolderFile(name);
  // An existing table belongs to the user: never touched here, even empty.
  if (platform::FileExists(path)) return path;

  CreateEmptyMappingTable(table, path);
  // From here on the file exists: a failed seeding leaves it as it is.
  OpenWithTranslation(table, path);
  ClosesOnExit closer(table);
  SeedMappingTable(kind, table);
  return path;
}

}  // namespace velt
