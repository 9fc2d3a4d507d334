#include "gui/queued_run_host_qt.h"

#include <QMetaObject>
#include <QThread>
#include <utility>

namespace velt {

void QueuedRunHost::Queue(std::function<void()> call) {
  QMetaObject::invokeMethod(&context_, std::move(call), Qt::QueuedConnection);
}

void QueuedRunHost::SetMappingMenuEnabled(bool enabled) {
  Queue([this, enabled] { window_.SetMappingMenuEnabled(enabled); });
}

void QueuedRunHost::ShowProgress(bool visible, int position) {
  Queue([this, visible, position] { window_.ShowProgress(visible, position); });
}

void QueuedRunHost::SetStatus(const std::string& text) {
  Queue([this, text] { window_.SetStatus(text); });
}

void QueuedRunHost::ShowMessage(const std::string& text) {
  // The run goes on once the user has read it, after what was queued before.
  if (QThread::currentThread() == context_.thread()) return window_.ShowMessage(text);
  QMetaObject::invokeMethod(
      &context_, [this, &text] { window_.ShowMessage(text); }, Qt::BlockingQueuedConnection);
}

void QueuedRunHost::Warn(const std::string& text) {
  Queue([this, text] { window_.Warn(text); });
}

BackgroundRun::~BackgroundRun() {
  if (thread_.joinable()) thread_.join();
}

void BackgroundRun::Start(std::function<void()> work, std::function<void()> ended) {
  if (thread_.joinable()) thread_.join();
  thread_ = std::thread([this, work = std::move(work), ended = std::move(ended)]() mutable {
    work();
    QMetaObject::invokeMethod(
        &context_,
        [this, ended = std::move(ended)] {
          thread_.join();
          ended();
        },
        Qt::QueuedConnection);
  });
}

}  // namespace velt
