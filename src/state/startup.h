#pragma once
// Start-up and shut-down steps that the main window and the command line
// share.
#include <string>

namespace velt {

// What start-up tells the user (the window shows a message box, the command
// line writes to standard error).
class StartupHost {
 public:
  virtual ~StartupHost() = default;
  virtual void ShowMessage(const std::string& text1251) = 0;
};

// appDir: `appDirOverride` when given (--app-dir), else the executable's own
// folder. Derives the paths of the run state from it.
void InitialisePaths(const std::string& appDirOverride);

// "Приложение <exeBaseName> запущено." / "... остановлено." in the event log.
void LogApplicationStarted();
void LogApplicationStopped();

// The persisted code page (the main window's lbCodePage caption in the ini
// file), "OEM" when absent or blank. An ini file that is no settings file is
// read as empty, with its warning to the host.
std::string PersistedCodePage(StartupHost& host);
// The same without the default: "" when the ini file holds no code page.
std::string StoredCodePage(StartupHost& host);

// The ini file of the windows' persisted state.
std::string IniFilePath();

}  // namespace velt
