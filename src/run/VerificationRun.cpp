#include "run/VerificationRun.h"

#include <algorithm>

#include "logging/Logger.h"
#include "platform/SharedLibrary.h"
#include "run/StrictChecks.h"
#include "tracking/ApiVersionText.h"
#include "tracking/ReportOutput.h"
#include "tracking/RuntimeDLL.h"

namespace Orvel::Verifier {

using Tracking::ListingExplanation;
using Tracking::PluginExport;
using Tracking::printReport;

void discardLogLines() {
  Logger::instance().setSink([](int, const std::string&) {});
}

VerificationRun::VerificationRun(Tracking::PluginKind kind, std::string pluginPath, std::int32_t workflowCalls,
                                 const RunSettings& settings)
    : kind_(kind),
      pluginPath_(std::move(pluginPath)),
      settings_(settings),
      plannedTotal_(1 + static_cast<std::int32_t>(Tracking::neededExportCount(kind)) +
                    static_cast<std::int32_t>(settings.repeat) * workflowCalls +
                    (settings.strict ? strictCheckCount(kind) : 0)),
      progress_(settings.repeat) {}

VerificationRun::~VerificationRun() {
  if (writesHostLines_) Tracking::setHostLineWriter(nullptr);
  if (keptRecord_ == nullptr) return;
  try {
    *keptRecord_ = snapshot();
  } catch (...) {
    // Out of memory while the run unwinds: the record stays as it was.
  }
}

void VerificationRun::keepRecordIn(RunRecord* record) { keptRecord_ = record; }

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
    if (check.passed() || check.cause.empty()) {
      printReport("[ %s ] : %s\n", check.passed() ? "OK" : "FAILED", check.text.c_str());
    } else {
      printReport("[ FAILED ] : %s - %s\n", check.text.c_str(), check.cause.c_str());
    }
    checks_.push_back(check);
  }
  if (observer_ != nullptr) observer_->checkMade(check);
}

void VerificationRun::writeHostLine(const std::string& line) noexcept {
  try {
    // Printed and kept under the lock, so that the check it belongs to is the
    // one whose report line follows it.
    const std::lock_guard<std::mutex> lock(mutex_);
    printReport("%s\n", line.c_str());
    hostCalls_.push_back({line, checks_.size()});
    if (observer_ != nullptr) observer_->hostLineWritten(hostCalls_.back());
  } catch (...) {
    // Out of memory: the line was printed, or is lost with the run.
  }
}

bool VerificationRun::start() {
  discardLogLines();
  Tracking::setHostLineWriter(this);
  writesHostLines_ = true;
  printReport("Start verification\n");
  const auto began = std::chrono::steady_clock::now();
  bool loaded = false;
  std::vector<std::string> why;
  {
    const Watch watch(*this, PluginCall::Kind::Load, loadText());
    const RuntimeDLL plugin(pluginNativePath());
    loaded = plugin.library().isLoaded();
    if (!loaded) {
      why.push_back(ListingExplanation::ofLoadFailure(plugin.expandedPath(), plugin.library().loadError()));
      std::string bareName = ListingExplanation::ofBareName(plugin.expandedPath());
      if (!bareName.empty()) why.push_back(std::move(bareName));
    }
  }
  record({loadText(), loaded ? CheckResult::Passed : CheckResult::Failed, "", std::chrono::steady_clock::now() - began});
  if (loaded) return true;
  explain(why);
  stop(0);
  return false;
}

void VerificationRun::stop(std::size_t check) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stoppedAt_ = check;
  }
  printReport("Unable to continue...\n");
  if (observer_ != nullptr) observer_->runStopped(check);
}

void VerificationRun::explain(const std::vector<std::string>& texts) {
  if (!settings_.explain) return;
  std::vector<std::string> written;
  for (const std::string& text : texts) {
    if (!text.empty()) written.push_back(text);
  }
  const std::lock_guard<std::mutex> lock(mutex_);
  if (!ended_ && !written.empty()) Tracking::writeReport(ListingExplanation::lines(written));
}

std::optional<std::string> VerificationRun::statusDescription(PluginStatus status) const {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (!pluginInfo_ || status < -2 || status > 2) return std::nullopt;
  return pluginInfo_->statusDescriptions[static_cast<std::size_t>(status + 2)];
}

bool VerificationRun::checkExports(const Tracking::CommonAPIProxy& proxy) {
  std::vector<std::string> missing;
  std::size_t firstMissing = 0;
  for (const Tracking::PluginExportEntry& entry : Tracking::pluginExports()) {
    if (!entry.isNeededBy(kind_)) continue;
    const bool present = entry.isBound(proxy);
    if (!present && missing.empty()) firstMissing = checks().size();
    if (!present) missing.emplace_back(entry.name);
    record({std::string("Find API function: ") + entry.name, present ? CheckResult::Passed : CheckResult::Failed, "",
            std::chrono::nanoseconds(0)});
  }
  if (missing.empty()) return true;
  if (settings_.explain) {
    // What the library says it is tells a plugin of the other kind apart.
    std::optional<std::int64_t> type;
    if (proxy.GetPluginType != nullptr) {
      type = watchCall(PluginExport::GetPluginType, [&] { return proxy.GetPluginType(); });
    }
    explain({ListingExplanation::ofMissingExports(kind_, type, missing, Tracking::neededExportCount(kind_))});
  }
  stop(firstMissing);
  return false;
}

void VerificationRun::printStatelessInfo(const Tracking::CommonAPIProxy& proxy) {
  using Tracking::exportName;
  using Tracking::pluginText;
  const auto keep = [](const char* text) { return text != nullptr ? std::optional<std::string>(text) : std::nullopt; };
  PluginInfo info;
  printReport("\n Check stateless API functions:\n");
  info.type = watchCall(PluginExport::GetPluginType, [&] { return proxy.GetPluginType(); });
  printReport("%s = %lld\n", exportName(PluginExport::GetPluginType), static_cast<long long>(info.type));
  const std::uint64_t version =
      watchCall(PluginExport::GetPluginAPIVersion, [&] { return proxy.GetPluginAPIVersion(); });
  info.apiVersion = Tracking::apiVersionText(version);
  printReport("%s = %s\n", exportName(PluginExport::GetPluginAPIVersion), info.apiVersion.c_str());
  const char* name = watchCall(PluginExport::GetPluginName, [&] { return proxy.GetPluginName(); });
  printReport("%s = %s\n", exportName(PluginExport::GetPluginName), pluginText(name));
  info.name = keep(name);
  for (int status = -2; status <= 2; ++status) {
    const char* text = watchCall(PluginExport::GetPluginStatusDescription, [&] {
      return proxy.GetPluginStatusDescription(static_cast<PluginStatus>(status));
    });
    printReport("%s(%d) = %s\n", exportName(PluginExport::GetPluginStatusDescription), status, pluginText(text));
    info.statusDescriptions[static_cast<std::size_t>(status + 2)] = keep(text);
  }
  explain({ListingExplanation::ofApiVersion(version)});
  if (observer_ != nullptr) observer_->pluginInfoRead(info);
  const std::lock_guard<std::mutex> lock(mutex_);
  pluginInfo_ = std::move(info);
}

void VerificationRun::beginWorkflow(std::uint32_t workflowRun) {
  progress_.workflow(workflowRun);
  if (workflowRun <= 1) {
    printReport("\n Check main workflow:\n");
  } else {
    printReport("\n Check main workflow (run %u of %u):\n", static_cast<unsigned>(workflowRun),
                static_cast<unsigned>(settings_.repeat));
  }
}

void VerificationRun::addPose(PoseRecord pose) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    pose.call = static_cast<std::uint32_t>(poses_.size() + 1);
    poses_.push_back(pose);
  }
  if (observer_ != nullptr) observer_->poseAdded(pose);
}

void VerificationRun::addCheck(Check check) { record(std::move(check)); }

void VerificationRun::setLatency(LatencyFigures latency) {
  if (observer_ != nullptr) observer_->latencyMeasured(latency);
  const std::lock_guard<std::mutex> lock(mutex_);
  latency_ = std::move(latency);
}

std::int32_t VerificationRun::finish() {
  std::int32_t passed = 0;
  std::int32_t total = 0;
  bool written = false;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (const Check& check : checks_) passed += check.passed() ? 1 : 0;
    total = static_cast<std::int32_t>(checks_.size());
    if (!ended_) {
      printReport("\nEnd verification: %d/%d passed\n", passed, total);
      summaryTotal_ = total;
      written = true;
    }
  }
  if (written && observer_ != nullptr) observer_->summaryWritten(total);
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

std::vector<PoseRecord> VerificationRun::poses() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return poses_;
}

std::optional<LatencyFigures> VerificationRun::latency() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return latency_;
}

RunRecord VerificationRun::snapshot() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  RunRecord record;
  record.kind = kind_;
  record.settings = settings_;
  record.pluginPath = pluginPath_;
  record.checks = checks_;
  record.hostCalls = hostCalls_;
  record.pluginInfo = pluginInfo_;
  record.poses = poses_;
  record.latency = latency_;
  for (const Check& check : checks_) record.passed += check.passed() ? 1 : 0;
  record.total = summaryTotal_.value_or(static_cast<std::int32_t>(checks_.size()));
  record.summaryReached = summaryTotal_.has_value();
  record.stoppedAt = stoppedAt_;
  return record;
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

bool VerificationRun::hasEnded() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return ended_;
}

void VerificationRun::enterRelayed(const PluginCall& call) {
  progress_.relayedCall(call.text);
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
  progress_.relayedCheck();
  const std::lock_guard<std::mutex> lock(mutex_);
  checks_.push_back(std::move(check));
}

void VerificationRun::detailRelayed(const Check& detail) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (checks_.empty()) return;
  Check& last = checks_.back();
  last.cause = detail.cause;
  last.duration = detail.duration;
  last.status = detail.status;
  last.statusDescription = detail.statusDescription;
}

void VerificationRun::summaryRelayed(std::int32_t total) {
  const std::lock_guard<std::mutex> lock(mutex_);
  summaryTotal_ = total;
}

void VerificationRun::stoppedRelayed(std::size_t check) {
  const std::lock_guard<std::mutex> lock(mutex_);
  stoppedAt_ = check;
}

void VerificationRun::hostCallRelayed(HostCall call) {
  const std::lock_guard<std::mutex> lock(mutex_);
  hostCalls_.push_back(std::move(call));
}

void VerificationRun::pluginInfoRelayed(PluginInfo info) {
  const std::lock_guard<std::mutex> lock(mutex_);
  pluginInfo_ = std::move(info);
}

std::optional<int> VerificationRun::end(CheckResult result, const std::string& cause, std::uint64_t callSerial) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (ended_) return std::nullopt;
  if (callSerial != 0 && (!call_ || call_->serial != callSerial)) return std::nullopt;
  ended_ = true;
  const PluginCall call = call_ ? *call_ : lastCall_;
  const std::chrono::nanoseconds duration = std::chrono::steady_clock::now() - callStarted_;
  // Between calls the last call's check, once made, is the one that fails:
  // a run whose every check passed must not pass when its process dies after.
  auto made = checks_.end();
  if (!call_) {
    made = std::find_if(checks_.rbegin(), checks_.rend(), [&](const Check& c) { return c.text == call.text; }).base();
    if (made != checks_.begin() && (made - 1)->passed()) --made; else made = checks_.end();
  }
  std::size_t index = static_cast<std::size_t>(made - checks_.begin());
  if (made != checks_.end()) {
    made->result = result;
    made->cause = cause;
  } else {
    checks_.push_back({call.text, result, cause, call_ ? duration : std::chrono::nanoseconds(0)});
  }
  printReport("[ FAILED ] : %s - %s\n", call.text.c_str(), cause.c_str());
  std::int32_t passed = 0;
  for (const Check& check : checks_) passed += check.passed() ? 1 : 0;
  if (call.kind == PluginCall::Kind::Load) {
    stoppedAt_ = index;
    printReport("Unable to continue...\n");
    return static_cast<int>(checks_.size()) - passed;
  }
  printReport("\nEnd verification: %d/%d passed\n", passed, plannedTotal_);
  summaryTotal_ = plannedTotal_;
  return plannedTotal_ - passed;
}

}  // namespace Orvel::Verifier
