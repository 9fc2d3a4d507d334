#pragma once
// The request to stop one run (a conversion, a join): made from any thread
// (the window's cancel, a close, Ctrl-C forwarded by the command line's
// host) and read by the run at its checkpoints. Each run has its own, held
// by whoever drives it; nothing process-wide.
#include <atomic>

namespace velt {

class CancelToken {
 public:
  CancelToken() = default;
  // A copy (of a host, say) carries the request as it stands.
  CancelToken(const CancelToken& other) : requested_(other.Requested()) {}
  CancelToken& operator=(const CancelToken& other) {
    requested_.store(other.Requested(), std::memory_order_relaxed);
    return *this;
  }

  void Request() { requested_.store(true, std::memory_order_relaxed); }
  bool Requested() const { return requested_.load(std::memory_order_relaxed); }
  // Before the next run of the same driver.
  void Clear() { requested_.store(false, std::memory_order_relaxed); }

 private:
  std::atomic<bool> requested_{false};
};

}  // namespace velt
