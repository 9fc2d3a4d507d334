#include "support/run_state.h"

#include "support/platform.h"

namespace velt {

RunState& State() {
  static RunState state;
  return state;
}

void DerivePaths(RunState& state, const std::string& appDir, const std::string& exeFileName) {
  const std::string sep(1, platform::PathSeparator());
  state.appDir = appDir;
  if (state.appDir.empty() || !platform::IsPathSeparator(state.appDir.back())) state.appDir += sep;
  std::string name = platform::FileNamePart(exeFileName);
  state.exeBaseName = name.substr(0, name.find('.'));
  state.mappingDirPath = state.appDir + sep + "dirstrans";
  state.indexDirPath = state.appDir + sep + "indexes";
  state.pavkDirPath = state.appDir + sep + "pavkdirs";
  state.logFilePath = state.appDir + sep + state.exeBaseName + ".log";
}

std::string ProgramFile(const std::string& directory, const std::string& name) {
  return platform::ResolveIgnoringCase(directory, name);
}

}  // namespace velt
