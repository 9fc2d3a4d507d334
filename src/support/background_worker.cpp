#include "support/background_worker.h"

#include <utility>

namespace velt {

BackgroundWorker::BackgroundWorker(std::function<void()> job)
    : job_(std::move(job)), thread_([this] { Loop(); }) {}

BackgroundWorker::~BackgroundWorker() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ending_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void BackgroundWorker::Start() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return !asked_; });
  asked_ = true;
  thrown_ = nullptr;
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
