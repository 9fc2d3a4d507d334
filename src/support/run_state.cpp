#include "support/run_state.h"

#include "support/platform.h"

namespace velt {

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
