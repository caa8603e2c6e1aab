#include "run/Watchdog.h"

#include <cstdio>
#include <optional>
#include <string>

#include "logging/ProgressLine.h"
#include "platform/ChildProcess.h"
#include "platform/ExitStatus.h"
#include "platform/FatalEvents.h"
#include "run/EndCause.h"
#include "run/VerificationRun.h"

namespace Orvel::Verifier {

std::atomic<Watchdog*> Watchdog::current_{nullptr};

Watchdog::Watchdog(std::uint32_t deadlineMs, Ending ending) : deadline_(deadlineMs), ending_(std::move(ending)) {
  if (deadlineMs != 0) thread_ = std::thread([this] { watch(); });
  current_.store(this);
  platform::setCrashHandler(onCrash);
  platform::setExitHandler(onExit);
}

Watchdog::~Watchdog() {
  platform::setExitHandler(nullptr);
  platform::setCrashHandler(nullptr);
  current_.store(nullptr);
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void Watchdog::attached(VerificationRun& run) { run_.store(&run); }

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

void Watchdog::endRun(CheckResult result, const std::string& cause, std::uint64_t callSerial) {
  VerificationRun* run = run_.load();
  if (run == nullptr) return;
  // The run writes its failure only when it has not ended yet (and, with a
  // serial, that call is still under way), and then writes nothing more; the
  // process ends at once, whatever the plugin's threads are doing.
  const std::optional<int> status = run->end(result, cause, callSerial);
  if (!status) {
    // Another thread ended the run and is ending the process: this one
    // (a crash, an exit) must not end it first.
    if (run->hasEnded()) {
      for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    return;
  }
  const int exitStatus = platform::processExitStatus(*status);
  const int ending = ending_ ? ending_(*run, exitStatus) : exitStatus;
  std::fflush(stdout);
  ProgressLine::instance().close();  // no exit handler erases it on this way out
  platform::endProcessNow(ending);
}

void Watchdog::watch() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    if (serial_ == 0 || run_.load() == nullptr) {
      changed_.wait(lock);
      continue;
    }
    if (std::chrono::steady_clock::now() < due_) {
      changed_.wait_until(lock, due_);
      continue;
    }
    const std::uint64_t late = serial_;
    serial_ = 0;
    endRun(CheckResult::TimedOut, "no return within " + std::to_string(deadline_.count()) + " ms", late);
  }
}

void Watchdog::onCrash(std::int64_t code) {
  Watchdog* watchdog = current_.load();
  if (watchdog == nullptr) return;
  // A plugin thread may crash the process between calls, or after the run.
  const VerificationRun* run = watchdog->run_.load();
  const bool callUnderWay = run != nullptr && run->callSerial() != 0;
  watchdog->endRun(CheckResult::Crashed, crashCause(code, callUnderWay), 0);
}

void Watchdog::onExit(int status) {
  Watchdog* watchdog = current_.load();
  VerificationRun* run = watchdog != nullptr ? watchdog->run_.load() : nullptr;
  // The verifier's own end passes: only an exit inside a plugin call is the plugin's.
  const std::uint64_t serial = run != nullptr ? run->callSerial() : 0;
  if (serial == 0) return;
  watchdog->endRun(CheckResult::EndedProcess, exitCause(status, true), serial);
}

}  // namespace Orvel::Verifier
