// The end of a run without isolation when a plugin call does not come back
// as a call should: it misses its deadline (a thread watches each call), the
// plugin crashes the process (on any thread), or it calls exit() inside a
// call. Each ends the run as a run in a child process would end: the failed
// check of the call with its cause, the summary, then the process, with the
// exit status that the Ending gives.
#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "run/Check.h"
#include "run/RunObserver.h"

namespace Orvel::Verifier {

class Watchdog : public RunObserver {
 public:
  // Called after the run was ended, before the process ends: takes the exit
  // status and gives the one to end with (the reports are written here).
  using Ending = std::function<int(const VerificationRun& run, int status)>;

  // deadlineMs 0: no deadline. Crashes and exits are watched from now until
  // the watchdog is destroyed; one watchdog at a time.
  explicit Watchdog(std::uint32_t deadlineMs, Ending ending = {});
  // Stops watching.
  ~Watchdog() override;
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

  void attached(VerificationRun& run) override;
  void callEntered(const PluginCall& call) override;
  void callLeft(const PluginCall& call) override;
  void checkMade(const Check& check) override {}

 private:
  void watch();
  // Ends the run at the call under way (or the last one) and then the
  // process. Returns when there is no run, or `callSerial` is not 0 and that
  // call is no longer under way; when another thread ended the run already,
  // waits for it to end the process.
  void endRun(CheckResult result, const std::string& cause, std::uint64_t callSerial);
  static void onCrash(std::int64_t code);
  static void onExit(int status);

  static std::atomic<Watchdog*> current_;

  const std::chrono::milliseconds deadline_;
  const Ending ending_;
  std::atomic<VerificationRun*> run_{nullptr};
  std::mutex mutex_;
  std::condition_variable changed_;
  std::uint64_t serial_ = 0;  // the call watched, 0 for none
  std::chrono::steady_clock::time_point due_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace Orvel::Verifier
