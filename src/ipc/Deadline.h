// The end of a bounded wait that starts when the object is made, on the
// monotonic clock: what the pipe's connect and timed writes count against.
#pragma once
#include <chrono>
#include <cstdint>

namespace Orvel {

class Deadline {
 public:
  explicit Deadline(std::int64_t timeoutMs) : start_(Clock::now()), timeoutMs_(timeoutMs) {}

  // Whole milliseconds left; 0 or less once the time has run out.
  std::int64_t remainingMs() const {
    return timeoutMs_ - std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_).count();
  }
  bool hasPassed() const { return remainingMs() <= 0; }

 private:
  using Clock = std::chrono::steady_clock;

  Clock::time_point start_;
  std::int64_t timeoutMs_;
};

}  // namespace Orvel
