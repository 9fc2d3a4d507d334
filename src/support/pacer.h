#pragma once
// Says when an interval has passed since it last said so. Long walks use it
// to let the window process its events (and so see a click on the cancel
// button) a few times a second, however long each step takes.
#include <chrono>

namespace velt {

class Pacer {
 public:
  using Clock = std::chrono::steady_clock;

  explicit Pacer(Clock::duration interval) : interval_(interval), last_(Clock::now()) {}

  bool Due() {
    const Clock::time_point now = Clock::now();
    if (now - last_ < interval_) return false;
    last_ = now;
    return true;
  }

 private:
  Clock::duration interval_;
  Clock::time_point last_;
};

}  // namespace velt
