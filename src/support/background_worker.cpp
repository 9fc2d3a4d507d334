#include "support/background_worker.h"

#include <cstdio>
#include <utility>

namespace velt {
namespace {

void ReportOnStandardError(std::exception_ptr thrown) noexcept {
  try {
    std::rethrow_exception(thrown);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "background job failed unseen: %s\n", error.what());
  } catch (...) {
    std::fputs("background job failed unseen\n", stderr);
  }
}

}  // namespace

BackgroundWorker::BackgroundWorker(std::function<void()> job, Uncollected uncollected)
    : job_(std::move(job)),
      uncollected_(uncollected ? std::move(uncollected) : Uncollected(ReportOnStandardError)),
      thread_([this] { Loop(); }) {}

BackgroundWorker::~BackgroundWorker() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ending_ = true;
  }
  changed_.notify_all();
  thread_.join();
  if (!thrown_) return;
  try {
    uncollected_(std::exchange(thrown_, nullptr));
  } catch (...) {
    // A destructor throws nothing.
  }
}

void BackgroundWorker::Start() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return !asked_; });
  if (thrown_) std::rethrow_exception(std::exchange(thrown_, nullptr));
  asked_ = true;
  lock.unlock();
  changed_.notify_all();
}

std::exception_ptr BackgroundWorker::Wait() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return !asked_; });
  return std::exchange(thrown_, nullptr);
}

void BackgroundWorker::Loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return asked_ || ending_; });
    // A run asked for before the end is still made.
    if (!asked_) return;
    lock.unlock();
    std::exception_ptr thrown;
    try {
      job_();
    } catch (...) {
      thrown = std::current_exception();
    }
    lock.lock();
    thrown_ = thrown;
    asked_ = false;
    changed_.notify_all();
  }
}

}  // namespace velt
