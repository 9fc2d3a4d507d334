#pragma once
// The one process-wide record of the program's state, zero at start,
// touched only by the user-interface thread.
#include <array>
#include <memory>
#include <string>

namespace velt {

class Table;

// The twelve slots of the open reference and mapping tables of a run.
enum class Lookup { tr_from, tr_reas, tr_reas1, tr_rslt, tr_vid, tr_lpu, tr_trag, city, street, f002, tarif, lpu };
inline constexpr int kLookupCount = 12;
const char* LookupName(Lookup slot);

struct LookupTables {
  LookupTables();
  ~LookupTables();
  std::array<std::unique_ptr<Table>, kLookupCount> slots;
  Table* Get(Lookup slot) const { return slots[static_cast<int>(slot)].get(); }
  // Closes and frees one slot (nothing when empty).
  void Release(Lookup slot);
};

struct RunState {
  // Set once at start-up from the program's own folder.
  std::string AppDir;  // ends with the path separator
  std::string ExeBaseName;
  std::string MappingDirPath;
  std::string IndexDirPath;
  std::string PavkDirPath;
  std::string LogFilePath;

  std::string InputCodePage = "OEM";  // "OEM" or "ANSI"

  // Set by each run.
  std::string InputFilePath;
  std::string InputFileName;
  std::string NativesFilePath;
  std::string ExternalsFilePath;
  int StationCode = 0;
  int InsurerRegion = 0;
  int ProgressStep = 0;
  bool NativesOpen = false;
  bool ExternalsOpen = false;
  int NativesCounter = 0;
  int ExternalsCounter = 0;

  // The station's tariff category as last found; never reset.
  int StationCategory = 0;
  bool AbortRequested = false;

  ::velt::LookupTables LookupTables;
};

RunState& State();

// AppDir (with its trailing separator added when missing) and the members
// derived from it: ExeBaseName is the executable's file name before its
// first "."; the joins are plain concatenations, as existing installations
// expect (a doubled separator is harmless).
void DerivePaths(RunState& state, const std::string& appDir, const std::string& exeFileName);

// Path of one of the program's own files in a folder: the exact name, else
// a name that differs only in letter case (installations copied from
// Windows).
std::string ProgramFile(const std::string& directory, const std::string& name);

}  // namespace velt
