#pragma once
// A run (a conversion, a join) on a thread of its own, driving a window on
// the user-interface thread: every call of the run's host is queued to the
// window's thread, and a message waits there until the user has read it
// (the run waits meanwhile). The window never re-enters its event loop for
// the run.
#include <QObject>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "composition/archive_join.h"
#include "conversion/conversion_run.h"

namespace velt {

// Calls from a run's thread carried to the thread of `context`, in the order
// made.
class QueuedCalls {
 public:
  explicit QueuedCalls(QObject& context);
  // Runs `call` there later.
  void Post(std::function<void()> call);
  // Runs `call` there and returns once it has (at once when made there).
  void PostAndWait(const std::function<void()>& call);
  // The window is going away: a call waited for returns at once, and no call
  // made from now on reaches it.
  void Release();

 private:
  struct Shared;
  QObject& context_;
  std::shared_ptr<Shared> shared_;
};

// The conversion's host on its thread, forwarding to the window's.
class QueuedRunHost : public RunHost {
 public:
  // `window` receives the calls on `context`'s thread; both outlive the run.
  QueuedRunHost(RunHost& window, QObject& context) : window_(window), calls_(context) {}

  void SetMappingMenuEnabled(bool enabled) override;
  void ShowProgress(bool visible, int position) override;
  void SetStatus(const std::string& text) override;
  void ShowMessage(const std::string& text) override;
  void Warn(const std::string& text) override;
  bool WantsProblems() const override { return window_.WantsProblems(); }
  // Only sets how the run keeps its problem calls: safe from the run's thread.
  void PrepareProblems(ProblemCalls& problems) override { window_.PrepareProblems(problems); }
  void Release() { calls_.Release(); }

 private:
  RunHost& window_;
  QueuedCalls calls_;
};

// The join's host on its thread, forwarding to the composition window's.
class QueuedJoinHost : public JoinHost {
 public:
  QueuedJoinHost(JoinHost& window, QObject& context) : window_(window), calls_(context) {}

  void ShowProgress(int position) override;
  void HideProgress() override;
  void ShowMessage(const std::string& text) override;
  void NameMissing() override;
  void Joined(const std::string& outputPath) override;
  void Release() { calls_.Release(); }

 private:
  JoinHost& window_;
  QueuedCalls calls_;
};

// One run at a time on its own thread. `ended` is called on the thread of
// `context` once the work has returned and the thread is joined.
class BackgroundRun {
 public:
  explicit BackgroundRun(QObject& context) : context_(context) {}
  // Waits for a run under way: the run's objects must not go before it.
  ~BackgroundRun();
  BackgroundRun(const BackgroundRun&) = delete;
  BackgroundRun& operator=(const BackgroundRun&) = delete;

  void Start(std::function<void()> work, std::function<void()> ended);
  bool Underway() const { return thread_.joinable(); }
  // For a window that goes away during a run: once the run has been told to
  // stop and its host released, waits for it here; `ended` is not called.
  void Wait();

 private:
  QObject& context_;
  std::thread thread_;
  unsigned long long started_ = 0;  // runs started, read on the context's thread only
};

}  // namespace velt
