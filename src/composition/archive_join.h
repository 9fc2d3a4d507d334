#pragma once
// Joining several call-archive tables of one station into one new table in
// the folder "in" under the program's folder: the structure of the first
// table in list order, then every table's records appended in list order.
//
// The join knows nothing of windows: the composition window and the command
// line each supply a JoinHost, which also carries the messages to the user.
// All text is Windows-1251.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/cancel_token.h"
#include "support/write_target.h"

namespace velt {

class JoinHost {
 public:
  virtual ~JoinHost() = default;
  // The progress bar of the join: shown at a position 0..100, or hidden.
  virtual void ShowProgress(int position) = 0;
  virtual void HideProgress() = 0;
  // The join's cancel, read after the first step, between the blocks of
  // an append and after each table: requested by whoever drives the join,
  // from any thread.
  CancelToken& Cancel() { return cancel_; }
  // After the first step and after each table: the command line turns a
  // Ctrl-C into the cancel here; nothing by default.
  virtual void Checkpoint() {}
  // What the user must read: why the join stopped, or where the joined
  // table is (1251).
  virtual void ShowMessage(const std::string& text) = 0;
  // The name field was empty: the window turns its path label red.
  virtual void NameMissing() = 0;
  // The join succeeded; called before the success message, so that the
  // window closes itself after it and hands the path to the main window.
  virtual void Joined(const std::string& outputPath) = 0;
  // Between copying the records of an entry and counting them: the moment
  // at which a program still writing to that archive makes the counts
  // disagree. Nothing happens here outside tests.
  virtual void EntryAppended(const std::string& /*entry*/) {}

 private:
  CancelToken cancel_;
};

enum class JoinOutcome {
  Joined,
  NameMissing,    // empty name field, no message
  NoEntries,      // "Не выбраны файлы для склеивания"
  CannotCreate,   // the structure copy failed
  EntryMissing,   // an entry vanished after it was listed
  AppendFailed,   // a source could not be opened for the copy
  BadStructure,   // the copy or the count raised an error
  CountMismatch,  // the joined table holds another number of records
  Cancelled,      // the cancel was requested
  Failed,         // an error that no step expects, after the table was begun
};

// The joined table's path: appDir + "in" + separator + the name with blanks
// (and control characters) removed at both ends, and ".DBF" added to a name
// that has no extension.
std::string JoinedFilePath(std::string_view name);

// The list order of the composition window: letter case ignored (1251
// upper-casing), otherwise byte order.
bool LessIgnoringCase(std::string_view a, std::string_view b);
void SortIgnoringCase(std::vector<std::string>& entries);

// The position of the progress bar after `done` of `total` tables:
// 5 + 95 * done / total, rounded half to even.
int JoinProgress(int done, int total);

// What refuses a join before it starts under the rule of every written
// file (write_target.h): the joined table and the event log against the
// entries; nothing when the join may go on. An empty name is the join's own
// message.
std::optional<WriteProblem> JoinTargetsProblem(const std::vector<std::string>& entries,
                                               const std::string& name);

// Joins `entries` (in the order given) into JoinedFilePath(name), written
// under its partial name (support/partial_path.h) and renamed into place
// once whole. Every failure and a cancel are reported to the user with
// their message and leave an earlier joined table as it was and an empty
// partial one behind when they happen after the table was created. Errors
// of the table engine that no step catches (the first entry cannot be
// opened for the structure copy) are raised as velt::Error with the
// progress bar left visible.
JoinOutcome JoinArchives(const std::vector<std::string>& entries, const std::string& name, JoinHost& host);

}  // namespace velt
