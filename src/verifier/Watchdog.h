// The deadline of each plugin call in a run without isolation: a thread that
// ends the run and the process when a call has not returned in time.
#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "verifier/RunObserver.h"

namespace Orvel::Verifier {

class Watchdog : public RunObserver {
 public:
  // Called on the watchdog's thread after the run was ended, before the
  // process ends: takes the exit status and gives the one to end with.
  using Ending = std::function<int(const VerificationRun& run, int status)>;

  explicit Watchdog(std::uint32_t deadlineMs, Ending ending = {});
  // Stops the thread.
  ~Watchdog() override;
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

  void attached(VerificationRun& run) override;
  void callEntered(const PluginCall& call) override;
  void callLeft(const PluginCall& call) override;
  void checkMade(const Check& check) override {}

 private:
  void watch();

  const std::chrono::milliseconds deadline_;
  const Ending ending_;
  std::mutex mutex_;
  std::condition_variable changed_;
  VerificationRun* run_ = nullptr;
  std::uint64_t serial_ = 0;  // the call watched, 0 for none
  std::chrono::steady_clock::time_point due_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace Orvel::Verifier
