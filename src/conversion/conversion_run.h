#pragma once
// One conversion run over an archive table: the reference tables opened, the
// archive walked in physical order, every live record routed by its
// insurer's region to the home-region or the other-region output table
// (created at its first record) and converted, progress shown, a cancel
// honoured, the start and the end written to the event log.
//
// The run knows nothing of windows: whoever drives it (the main window, the
// command line) supplies a RunHost.
#include <cstdint>
#include <string>
#include <vector>

#include "conversion/problem_calls.h"
#include "conversion/unmapped_report.h"
#include "support/cancel_token.h"
#include "table/table.h"

namespace velt {

class RunHost {
 public:
  virtual ~RunHost() = default;
  // The run's cancel, which the run reads at its checkpoints: requested by
  // whoever drives the run, from any thread.
  CancelToken& Cancel() { return cancel_; }
  // A few times a second while the run goes: the command line turns a
  // Ctrl-C into the cancel here; nothing by default.
  virtual void Checkpoint() {}
  virtual void SetMappingMenuEnabled(bool enabled) = 0;
  virtual void ShowProgress(bool visible, int position) = 0;  // position 0..100
  virtual void SetStatus(const std::string& text) = 0;        // the status line, 1251
  // What the user must read before the run goes on or ends (a message box
  // in the window, a line on standard error), 1251.
  virtual void ShowMessage(const std::string& text) = 0;
  // Something the user must know although the run went on (damaged archive
  // records that were skipped), 1251.
  virtual void Warn(const std::string& text) = 0;
  // Records walked of the archive's count, at every progress step (the
  // command line shows the rate); nothing by default.
  virtual void Progress(std::int64_t /*recNo*/, std::int64_t /*count*/) {}
  // Sets how the run's problem calls are kept (a sink, a limit) before its
  // first record; all of them in memory by default.
  virtual void PrepareProblems(ProblemCalls& problems) { (void)problems; }
  // Whether the run gathers its problem calls at all: a command that
  // writes none spares their cost on an archive full of failing calls.
  virtual bool WantsProblems() const { return true; }

 private:
  CancelToken cancel_;
};

enum class RunOutcome { Completed, Cancelled, EndedEarly };

// What a run leaves, however it ends (also an early end or an error: what
// it met so far).
struct RunSummary {
  RunOutcome outcome = RunOutcome::EndedEarly;
  std::int64_t recordsRead = 0;       // live archive records visited
  std::int64_t nativesWritten = 0;    // records posted to the home-region table
  std::int64_t externalsWritten = 0;  // records posted to the other-region table
  std::int64_t skipped = 0;           // routed but skipped by the profile filter
  std::int64_t unrouted = 0;          // negative insurer region: sent nowhere
  std::int64_t damaged = 0;           // records whose deletion flag is neither ' ' nor '*': skipped
  std::int64_t firstDamaged = 0;      // record number of the first of them
  std::int64_t logLines = 0;          // event-log lines written by the run
  std::int64_t callsLogged = 0;       // calls with at least one failed field group in the log
  int stationCode = 0;                // from the archive's name (0 before it is known)
  double seconds = 0;
  std::string codePage;  // "OEM" or "ANSI", as the archive was read
  // The output tables this run created ("" for one it did not create),
  // under their partial names unless the run completed.
  std::string nativesPath;
  std::string externalsPath;
  UnmappedReport unmapped;            // values that found no mapping
  ProblemCalls problems;              // calls whose field groups failed, when gathered
  std::vector<std::string> warnings;  // as the host was warned, 1251
};

// The three table objects of a run; they live as long as their owner (the
// main window) and are reused by every run.
// The output tables store their text in code page 866 (OEM translation on);
// the archive's translation is set by each run from the chosen code page.
struct RunTables {
  RunTables() {
    OutNatives.SetOEMTranslate(true);
    OutExternals.SetOEMTranslate(true);
  }
  Table VELTDBF{"VELTDBF"};
  // The station's tariff category as last found; never reset, so it carries
  // over from one run to the next.
  int stationCategory = 0;
  Table OutNatives{"OutNatives"};
  Table OutExternals{"OutExternals"};
};

// Runs one conversion of `archivePath` into `outputDir` (the texts of the
// window's labels, used as they are), in a session of its own (run_session.h)
// that is released when it ends. The output tables belong to the run until
// then: their records are written in batches, at every progress step and
// before the run reports its end, its cancel or an error. Errors that no rule
// handles (a record that cannot be posted, an archive without SMO) are raised
// after the run has released its tables and restored the host's controls;
// their text is the error's own, followed by a line naming the archive record
// and the call. `ended`, when given, receives the summary however the run
// ends, before such an error is raised.
RunSummary RunConversion(RunTables& tables, RunHost& host, const std::string& archivePath,
                         const std::string& outputDir, RunSummary* ended = nullptr);

// Records between two progress updates: Count / 100 rounded half to even,
// plus one; never below one.
int ProgressStepFor(std::int64_t count);
// Percent of `recNo` in `count`, rounded half to even, at most 100.
int ProgressPosition(std::int64_t recNo, std::int64_t count);

}  // namespace velt
