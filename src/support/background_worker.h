#pragma once
// A thread of its own that runs one job again and again, each time it is
// asked to: work that the calling thread hands off while it goes on with its
// own (a batch of records written, the next block of a file read). One run
// at a time. The caller leaves the job's input where the job finds it before
// Start and takes its output after Wait; Start and Wait order those accesses
// between the two threads.
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace velt {

class BackgroundWorker {
 public:
  // Told of what a run threw when no Wait collected it before the worker
  // ends, on the ending thread; what it throws in turn is dropped.
  using Uncollected = std::function<void(std::exception_ptr)>;

  // Without `uncollected` such an exception is reported on standard error.
  explicit BackgroundWorker(std::function<void()> job, Uncollected uncollected = {});
  // Lets a run that was started end, then ends the thread; hands on what
  // the last run threw when no Wait took it.
  ~BackgroundWorker();
  BackgroundWorker(const BackgroundWorker&) = delete;
  BackgroundWorker& operator=(const BackgroundWorker&) = delete;

  // Starts a run, after the one under way has ended. While what a run threw
  // is not collected by Wait, Start raises it instead of starting: it is
  // never dropped.
  void Start();
  // Returns once no run is under way, with what the last run threw (an
  // exception never leaves the thread): the caller takes back what it
  // handed over, then rethrows it.
  [[nodiscard]] std::exception_ptr Wait();

 private:
  void Loop();

  std::function<void()> job_;
  Uncollected uncollected_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool asked_ = false;  // a run started and not yet ended
  bool ending_ = false;
  std::exception_ptr thrown_;
  std::thread thread_;  // last: starts once the rest is there
};

}  // namespace velt
