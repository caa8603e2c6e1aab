#include "verifier/VerificationRun.h"

#include "logging/Logger.h"
#include "platform/SharedLibrary.h"
#include "tracking/ReportOutput.h"
#include "tracking/RuntimeDLL.h"

namespace Orvel::Verifier {

using Tracking::PluginExport;
using Tracking::printReport;

void discardLogLines() {
  Logger::instance().setSink([](int, const std::string&) {});
}

VerificationRun::VerificationRun(Tracking::PluginKind kind, std::string pluginPath, std::int32_t workflowCalls)
    : kind_(kind),
      pluginPath_(std::move(pluginPath)),
      plannedTotal_(1 + static_cast<std::int32_t>(Tracking::neededExportCount(kind)) + workflowCalls) {}

void VerificationRun::setObserver(RunObserver* observer) {
  observer_ = observer;
  if (observer_ != nullptr) observer_->attached(*this);
}

platform::NativePath VerificationRun::pluginNativePath() const { return platform::nativePath(pluginPath_); }

VerificationRun::Watch::Watch(VerificationRun& run, PluginCall::Kind kind, std::string text) : run_(run) {
  run_.enter({kind, std::move(text), 0});
}

VerificationRun::Watch::~Watch() { run_.leave(); }

void VerificationRun::enter(const PluginCall& call) {
  PluginCall entered = call;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    entered.serial = ++serial_;
    call_ = entered;
    lastCall_ = entered;
    callStarted_ = std::chrono::steady_clock::now();
  }
  if (observer_ != nullptr) observer_->callEntered(entered);
}

void VerificationRun::leave() {
  PluginCall left;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!call_) return;
    left = *call_;
    call_.reset();
  }
  if (observer_ != nullptr) observer_->callLeft(left);
}

void VerificationRun::record(Check check) {
  {
    // Written under the lock: a run that was ended from another thread
    // writes nothing more.
    const std::lock_guard<std::mutex> lock(mutex_);
    if (ended_) return;
    printReport("[ %s ] : %s\n", check.passed() ? "OK" : "FAILED", check.text.c_str());
    checks_.push_back(check);
  }
  if (observer_ != nullptr) observer_->checkMade(check);
}

bool VerificationRun::start() {
  discardLogLines();
  printReport("Start verification\n");
  const auto began = std::chrono::steady_clock::now();
  bool loaded = false;
  {
    const Watch watch(*this, PluginCall::Kind::Load, loadText());
    const RuntimeDLL plugin(pluginNativePath());
    loaded = plugin.library().isLoaded();
  }
  record({loadText(), loaded ? CheckResult::Passed : CheckResult::Failed, "",
          std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - began)});
  if (loaded) return true;
  printReport("Unable to continue...\n");
  return false;
}

bool VerificationRun::checkExports(const Tracking::CommonAPIProxy& proxy) {
  bool valid = true;
  for (const Tracking::PluginExportEntry& entry : Tracking::pluginExports()) {
    if (!entry.isNeededBy(kind_)) continue;
    const bool present = entry.isBound(proxy);
    valid = valid && present;
    record({std::string("Find API function: ") + entry.name, present ? CheckResult::Passed : CheckResult::Failed, "",
            std::chrono::milliseconds(0)});
  }
  if (valid) return true;
  printReport("Unable to continue...\n");
  return false;
}

void VerificationRun::printStatelessInfo(const Tracking::CommonAPIProxy& proxy) {
  using Tracking::exportName;
  using Tracking::pluginText;
  printReport("\n Check stateless API functions:\n");
  const std::int64_t type = watchCall(PluginExport::GetPluginType, [&] { return proxy.GetPluginType(); });
  printReport("%s = %lld\n", exportName(PluginExport::GetPluginType), static_cast<long long>(type));
  const std::uint64_t version =
      watchCall(PluginExport::GetPluginAPIVersion, [&] { return proxy.GetPluginAPIVersion(); });
  printReport("%s = %lld.%lld.%lld.%lld\n", exportName(PluginExport::GetPluginAPIVersion),
              static_cast<long long>(ORVEL_PLUGIN_API_VERSION_MAJOR(version)),
              static_cast<long long>(ORVEL_PLUGIN_API_VERSION_MINOR(version)),
              static_cast<long long>(ORVEL_PLUGIN_API_VERSION_THIRD(version)),
              static_cast<long long>(ORVEL_PLUGIN_API_VERSION_FOURTH(version)));
  const char* name = watchCall(PluginExport::GetPluginName, [&] { return proxy.GetPluginName(); });
  printReport("%s = %s\n", exportName(PluginExport::GetPluginName), pluginText(name));
  for (int status = -2; status <= 2; ++status) {
    const char* text = watchCall(PluginExport::GetPluginStatusDescription, [&] {
      return proxy.GetPluginStatusDescription(static_cast<PluginStatus>(status));
    });
    printReport("%s(%d) = %s\n", exportName(PluginExport::GetPluginStatusDescription), status, pluginText(text));
  }
}

void VerificationRun::addPose(std::string text) {
  const std::lock_guard<std::mutex> lock(mutex_);
  poses_.push_back(std::move(text));
}

std::int32_t VerificationRun::finish() {
  const std::lock_guard<std::mutex> lock(mutex_);
  std::int32_t passed = 0;
  for (const Check& check : checks_) passed += check.passed() ? 1 : 0;
  const auto total = static_cast<std::int32_t>(checks_.size());
  if (!ended_) printReport("\nEnd verification: %d/%d passed\n", passed, total);
  return total - passed;
}

std::int32_t VerificationRun::passedCount() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  std::int32_t passed = 0;
  for (const Check& check : checks_) passed += check.passed() ? 1 : 0;
  return passed;
}

std::int32_t VerificationRun::failedCount() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  std::int32_t failed = 0;
  for (const Check& check : checks_) failed += check.passed() ? 0 : 1;
  return failed;
}

std::vector<Check> VerificationRun::checks() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return checks_;
}

std::vector<std::string> VerificationRun::poses() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return poses_;
}

std::optional<PluginCall> VerificationRun::callUnderWay() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return call_;
}

std::chrono::steady_clock::time_point VerificationRun::callStarted() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return callStarted_;
}

std::uint64_t VerificationRun::callSerial() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return call_ ? call_->serial : 0;
}

void VerificationRun::enterRelayed(const PluginCall& call) {
  const std::lock_guard<std::mutex> lock(mutex_);
  call_ = call;
  call_->serial = ++serial_;
  lastCall_ = *call_;
  callStarted_ = std::chrono::steady_clock::now();
}

void VerificationRun::leaveRelayed() {
  const std::lock_guard<std::mutex> lock(mutex_);
  call_.reset();
}

void VerificationRun::recordRelayed(Check check) {
  const std::lock_guard<std::mutex> lock(mutex_);
  checks_.push_back(std::move(check));
}

std::optional<int> VerificationRun::end(CheckResult result, const std::string& cause, std::uint64_t callSerial) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (ended_) return std::nullopt;
  if (callSerial != 0 && (!call_ || call_->serial != callSerial)) return std::nullopt;
  ended_ = true;
  const PluginCall call = call_ ? *call_ : lastCall_;
  const auto duration =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - callStarted_);
  checks_.push_back({call.text, result, cause, call_ ? duration : std::chrono::milliseconds(0)});
  printReport("[ FAILED ] : %s - %s\n", call.text.c_str(), cause.c_str());
  std::int32_t passed = 0;
  for (const Check& check : checks_) passed += check.passed() ? 1 : 0;
  if (call.kind == PluginCall::Kind::Load) {
    printReport("Unable to continue...\n");
    return static_cast<int>(checks_.size()) - passed;
  }
  printReport("\nEnd verification: %d/%d passed\n", passed, plannedTotal_);
  return plannedTotal_ - passed;
}

}  // namespace Orvel::Verifier
