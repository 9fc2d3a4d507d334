#pragma once
// A run on a thread of its own, driving a window on the user-interface
// thread: every call of the run's host is queued to the window's thread,
// and a message waits there until the user has read it (the run waits
// meanwhile). The window never re-enters its event loop for the run.
#include <QObject>
#include <functional>
#include <string>
#include <thread>

#include "conversion/conversion_run.h"

namespace velt {

class QueuedRunHost : public RunHost {
 public:
  // `window` receives the calls on `context`'s thread; both outlive the run.
  QueuedRunHost(RunHost& window, QObject& context) : window_(window), context_(context) {}

  // The run reads the cancel flag itself: nothing to process here.
  void ProcessEvents() override {}
  void SetMappingMenuEnabled(bool enabled) override;
  void ShowProgress(bool visible, int position) override;
  void SetStatus(const std::string& text) override;
  void ShowMessage(const std::string& text) override;
  void Warn(const std::string& text) override;
  bool WantsProblems() const override { return window_.WantsProblems(); }
  // Only sets how the run keeps its problem calls: safe from the run's thread.
  void PrepareProblems(ProblemCalls& problems) override { window_.PrepareProblems(problems); }

 private:
  void Queue(std::function<void()> call);

  RunHost& window_;
  QObject& context_;
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

 private:
  QObject& context_;
  std::thread thread_;
};

}  // namespace velt
