#pragma once
// Mapping tables exchanged as CSV files (support/csv.h) with the header
// "VELTCODE,VELTNAME,PAVK", so that stations keep their mappings alike and
// keep a copy before editing. A file is read with either separator.
//
// An import merges: a row whose key (VELTCODE; VELTNAME for tr_lpu) the
// table has sets that row's PAVK, a new key is appended, nothing is deleted.
// A PAVK cell names one PAVK choice as the editor's cell takes it
// (reference/pavk_choice.h), or is empty. Every row is checked before the
// first write: one bad row and the table is left as it was. A file that
// was exported imports back without a change, and exports again to the same
// bytes.
#include <string>
#include <string_view>
#include <vector>

#include "table/table.h"

namespace velt {

// The kind of a mapping table's name without extension ("tr_reas" -> 1),
// 0 for any other name.
int MappingKindByName(std::string_view name);

// The live rows of an open mapping table, in file order, as a CSV file;
// `rows` gets their number.
std::string MappingTableCsv(Table& mapping, char separator, int& rows);

struct MappingImportCount {
  int updated = 0;   // rows of the table whose PAVK the file changed
  int appended = 0;  // keys the table did not have
};

// Merges `csv` into the open mapping table of `kind`, with `choices` the
// kind's PAVK choices. Raises an Error listing the failing lines (1251)
// before anything is written.
MappingImportCount ImportMappingCsv(Table& mapping, int kind, std::string_view csv,
                                    const std::vector<std::string>& choices);

// The rows of an open mapping table written to `csvPath`, replacing the
// file in one step; returns the number of rows. An Error names the file
// when it cannot be written.
int WriteMappingCsv(Table& mapping, const std::string& csvPath, char separator);

// The whole commands on the files in MappingDirPath (created and seeded
// when missing). The import holds the table exclusively while it writes; a
// table that another window or program holds is refused. Errors name the
// file at fault and why (1251).
int ExportMappingFile(int kind, const std::string& csvPath, char separator);
// The confirmation of an export: the file and its number of rows (1251).
std::string MappingExportDone(const std::string& csvPath, int rows);
// The text of a CSV file, refused when it cannot be read or is not UTF-8.
std::string ReadMappingCsv(const std::string& csvPath);
MappingImportCount ImportMappingFile(int kind, const std::string& csvPath);

}  // namespace velt
