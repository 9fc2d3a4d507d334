#include "state/startup.h"

#include "state/ini_file.h"
#include "support/code_page.h"
#include "support/error.h"
#include "support/event_log.h"
#include "support/platform.h"
#include "support/run_state.h"
#include "support/text.h"

namespace velt {

void InitialisePaths(const std::string& appDirOverride) {
  std::string exe = platform::ExecutablePath();
  std::string appDir = appDirOverride.empty() ? platform::DirectoryPart(exe) : appDirOverride;
  DerivePaths(State(), appDir, platform::FileNamePart(exe));
}

void LogApplicationStarted() {
  AddToLog(State().logFilePath, VELT_ANSI("Приложение ") + State().exeBaseName + VELT_ANSI(" запущено."),
           true, kStampPattern);
}

void LogApplicationStopped() {
  AddToLog(State().logFilePath, VELT_ANSI("Приложение ") + State().exeBaseName + VELT_ANSI(" остановлено."),
           true, kStampPattern);
}

std::string IniFilePath() {
  const RunState& state = State();
  return state.appDir + platform::PathSeparator() + state.exeBaseName + ".ini";
}

std::string PersistedCodePage(StartupHost& host) {
  std::string value = StoredCodePage(host);
  return value.empty() ? "OEM" : value;
}

std::string StoredCodePage(StartupHost& host) {
  std::string value;
  try {
    IniFile ini(IniFilePath());
    if (!ini.Warning().empty()) host.ShowMessage(ini.Warning());
    value = Trim(ini.ReadString("VELT_CONV", "lbCodePage_Caption", ""));
  } catch (const Error&) {
    // An ini file that cannot be read gives no code page: the default
    // applies, as it does for a first start.
  }
  return value;
}

}  // namespace velt
