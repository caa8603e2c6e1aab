#include "verifier/Watchdog.h"

#include <cstdio>
#include <string>

#include "platform/ChildProcess.h"
#include "verifier/VerificationRun.h"

namespace Orvel::Verifier {

Watchdog::Watchdog(std::uint32_t deadlineMs, Ending ending)
    : deadline_(deadlineMs), ending_(std::move(ending)), thread_([this] { watch(); }) {}

Watchdog::~Watchdog() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void Watchdog::attached(VerificationRun& run) {
  const std::lock_guard<std::mutex> lock(mutex_);
  run_ = &run;
}

void Watchdog::callEntered(const PluginCall& call) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    serial_ = call.serial;
    due_ = std::chrono::steady_clock::now() + deadline_;
  }
  changed_.notify_all();
}

void Watchdog::callLeft(const PluginCall& call) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (serial_ == call.serial) serial_ = 0;
}

void Watchdog::watch() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    if (serial_ == 0 || run_ == nullptr) {
      changed_.wait(lock);
      continue;
    }
    if (std::chrono::steady_clock::now() < due_) {
      changed_.wait_until(lock, due_);
      continue;
    }
    // The call is late. The run writes its failure only when that call is
    // still under way, and then writes nothing more; the process ends at once,
    // whatever the plugin's threads are doing.
    const std::string cause = "no return within " + std::to_string(deadline_.count()) + " ms";
    const std::optional<int> status = run_->end(CheckResult::TimedOut, cause, serial_);
    serial_ = 0;
    if (status) {
      const int exitStatus = ending_ ? ending_(*run_, *status) : *status;
      std::fflush(stdout);
      platform::endProcessNow(exitStatus);
    }
  }
}

}  // namespace Orvel::Verifier
