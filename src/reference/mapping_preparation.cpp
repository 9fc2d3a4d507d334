#include "reference/mapping_preparation.h"

#include "support/error.h"

namespace velt {

PreparedMapping PrepareMappingTable(int kind, Table& dir) {
  PreparedMapping prepared;
  dir.Close();
  dir.SetOEMTranslate(true);
  prepared.pavk = LoadPavkChoices(kind, dir);
  prepared.tablePath = EnsureMappingTable(kind, dir);
  dir.Close();
  dir.SetTableName(prepared.tablePath);
  dir.SetExclusive(true);
  dir.Open();
  return prepared;
}

void PrepareAllMappingTablesSilently() {
  Table dir("Dir");
  for (int kind : kMappingKinds) {
    try {
      PrepareMappingTable(kind, dir);
    } catch (const Error&) {
      // A kind that cannot be prepared is reported when its editor opens.
    }
  }
}

}  // namespace velt
