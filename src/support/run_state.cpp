#include "support/run_state.h"

#include "support/platform.h"
#include "table/table.h"

namespace velt {

const char* LookupName(Lookup slot) {
  static const char* const kNames[kLookupCount] = {"tr_from", "tr_reas", "tr_reas1", "tr_rslt",
                                                   "tr_vid",  "tr_lpu",  "tr_trag",  "city",
                                                   "street",  "f002",    "tarif",    "lpu"};
  return kNames[static_cast<int>(slot)];
}

LookupTables::LookupTables() = default;
LookupTables::~LookupTables() = default;

void LookupTables::Release(Lookup slot) { slots[static_cast<int>(slot)].reset(); }

RunState& State() {
  static RunState state;
  return state;
}

void DerivePaths(RunState& state, const std::string& appDir, const std::string& exeFileName) {
  const std::string sep(1, platform::PathSeparator());
  state.AppDir = appDir;
  if (state.AppDir.empty() || !platform::IsPathSeparator(state.AppDir.back())) state.AppDir += sep;
  std::string name = platform::FileNamePart(exeFileName);
  state.ExeBaseName = name.substr(0, name.find('.'));
  state.MappingDirPath = state.AppDir + sep + "dirstrans";
  state.IndexDirPath = state.AppDir + sep + "indexes";
  state.PavkDirPath = state.AppDir + sep + "pavkdirs";
  state.LogFilePath = state.AppDir + sep + state.ExeBaseName + ".log";
}

std::string ProgramFile(const std::string& directory, const std::string& name) {
  return platform::ResolveIgnoringCase(directory, name);
}

}  // namespace velt
