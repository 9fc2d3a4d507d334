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

// Start-up needs only that every mapping table exists. It does not hold the
// tables the way the editor does, so that a run started at the same moment on
// the same program folder (another window or command) reads them undisturbed.
void PrepareAllMappingTablesSilently() {
  Table dir("Dir");
  for (int kind : kMappingKinds) {
    try {
      dir.Close();
      dir.SetOEMTranslate(true);
      LoadPavkChoices(kind, dir);  // without the PAVK values nothing is created
      EnsureMappingTable(kind, dir);
    } catch (const Error&) {
      // A kind that cannot be prepared is reported when its editor opens.
    }
  }
}

}  // namespace velt
