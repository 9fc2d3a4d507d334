#include "gui/queued_run_host_qt.h"

#include <QMetaObject>
#include <QThread>
#include <condition_variable>
#include <mutex>
#include <utility>

namespace velt {

struct QueuedCalls::Shared {
  std::mutex mutex;
  std::condition_variable answered;
  bool released = false;
  // Calls waited for that have run; each waiter knows its own number.
  unsigned long long made = 0;
  unsigned long long done = 0;
};

QueuedCalls::QueuedCalls(QObject& context) : context_(context), shared_(std::make_shared<Shared>()) {}

void QueuedCalls::Post(std::function<void()> call) {
  QMetaObject::invokeMethod(
      &context_,
      [shared = shared_, call = std::move(call)] {
        {
          std::lock_guard lock(shared->mutex);
          if (shared->released) return;
        }
        call();
      },
      Qt::QueuedConnection);
}

void QueuedCalls::PostAndWait(const std::function<void()>& call) {
  if (QThread::currentThread() == context_.thread()) return call();
  std::unique_lock lock(shared_->mutex);
  if (shared_->released) return;
  const unsigned long long mine = ++shared_->made;
  // Not a blocking queued call: a window that goes away must be able to
  // let the run go on without answering.
  QMetaObject::invokeMethod(
      &context_,
      [shared = shared_, call] {
        {
          std::lock_guard guard(shared->mutex);
          if (shared->released) return;
        }
        call();
        {
          std::lock_guard guard(shared->mutex);
          ++shared->done;
        }
        shared->answered.notify_all();
      },
      Qt::QueuedConnection);
  shared_->answered.wait(lock, [&] { return shared_->released || shared_->done >= mine; });
}

void QueuedCalls::Release() {
  {
    std::lock_guard lock(shared_->mutex);
    shared_->released = true;
  }
  shared_->answered.notify_all();
}

void QueuedRunHost::SetMappingMenuEnabled(bool enabled) {
  calls_.Post([this, enabled] { window_.SetMappingMenuEnabled(enabled); });
}

void QueuedRunHost::ShowProgress(bool visible, int position) {
  calls_.Post([this, visible, position] { window_.ShowProgress(visible, position); });
}

void QueuedRunHost::SetStatus(const std::string& text) {
  calls_.Post([this, text] { window_.SetStatus(text); });
}

// The run goes on once the user has read it, after what was queued before.
void QueuedRunHost::ShowMessage(const std::string& text) {
  calls_.PostAndWait([this, &text] { window_.ShowMessage(text); });
}

void QueuedRunHost::Warn(const std::string& text) {
  calls_.Post([this, text] { window_.Warn(text); });
}

void QueuedJoinHost::ShowProgress(int position) {
  calls_.Post([this, position] { window_.ShowProgress(position); });
}

void QueuedJoinHost::HideProgress() {
  calls_.Post([this] { window_.HideProgress(); });
}

void QueuedJoinHost::ShowMessage(const std::string& text) {
  calls_.PostAndWait([this, &text] { window_.ShowMessage(text); });
}

void QueuedJoinHost::NameMissing() {
  calls_.Post([this] { window_.NameMissing(); });
}

void QueuedJoinHost::Joined(const std::string& outputPath) {
  calls_.Post([this, outputPath] { window_.Joined(outputPath); });
}

BackgroundRun::~BackgroundRun() { Wait(); }

void BackgroundRun::Wait() {
  if (thread_.joinable()) thread_.join();
}

void BackgroundRun::Start(std::function<void()> work, std::function<void()> ended) {
  Wait();
  const unsigned long long run = ++started_;
  thread_ = std::thread([this, run, work = std::move(work), ended = std::move(ended)]() mutable {
    work();
    QMetaObject::invokeMethod(
        &context_,
        [this, run, ended = std::move(ended)] {
          // A window that waited for the run itself has joined it already.
          if (run != started_ || !thread_.joinable()) return;
          thread_.join();
          ended();
        },
        Qt::QueuedConnection);
  });
}

}  // namespace velt
