// One verification run as an object: the checks made so far with their
// results, causes and durations, the plugin call under way, the lines of the
// host services, what the plugin says about itself and the poses it gave.
// The report lines and the summary are written from it, and so are the JSON
// and JUnit reports and the views that end a run from outside (a deadline's
// watchdog, the parent of an isolated child). The steps run on one thread;
// the views may be taken from another.
#pragma once
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/NarrowPath.h"
#include "run/Check.h"
#include "run/CheckPlan.h"
#include "run/RunObserver.h"
#include "run/RunProgress.h"
#include "run/RunRecord.h"
#include "run/RunSettings.h"
#include "tracking/CommonAPIProxy.h"
#include "tracking/HostCallbacks.h"
#include "tracking/ListingExplanation.h"
#include "tracking/PluginExports.h"

namespace Orvel::Verifier {

// From now on every log line is discarded, so that only report lines reach
// standard output. The sink stays for the rest of the process.
void discardLogLines();

class VerificationRun : private Tracking::HostLineWriter {
 public:
  // workflowCalls: the number of "call" checks of the run's workflow, which
  // with the load check, the kind's export checks, the repetitions of the
  // workflow and the strict checks makes the planned total.
  VerificationRun(Tracking::PluginKind kind, std::string pluginPath, std::int32_t workflowCalls,
                  const RunSettings& settings = {});
  // Leaves the run's record where keepRecordIn said, and stops taking the
  // host services' lines.
  ~VerificationRun() override;

  VerificationRun(const VerificationRun&) = delete;
  VerificationRun& operator=(const VerificationRun&) = delete;

  // Told of every call and check from now on; null for none.
  void setObserver(RunObserver* observer);
  // When the run object ends (also through an exception), its record is
  // copied to `record`; null for nowhere.
  void keepRecordIn(RunRecord* record);
  const RunSettings& settings() const { return settings_; }
  // The run's part of the progress line.
  RunProgress& progress() { return progress_; }

  // The steps, each writing its report lines.

  // Discards log lines, takes the host services' lines from now on, prints
  // "Start verification" and makes the load check on a throw-away load.
  // False, after "Unable to continue...", when the plugin does not load.
  bool start();
  // Loads the plugin into a proxy of the run's kind, as a watched call.
  template <typename Proxy>
  Proxy loadProxy() {
    const Watch watch(*this, PluginCall::Kind::Load, loadText());
    return Proxy(pluginNativePath());
  }
  // One "Find API function: <export>" check per export of the run's kind, in
  // table order, also after a missing one. False, after "Unable to
  // continue...", when the proxy is not valid.
  bool checkExports(const Tracking::CommonAPIProxy& proxy);
  // What the plugin says about itself: type, API version, name and the status
  // descriptions of -2 to 2. Printed, not counted as checks.
  void printStatelessInfo(const Tracking::CommonAPIProxy& proxy);
  // The check "call <export>": makes the call and passes when it returns 0;
  // what the call returned. Lines that host services print during the call
  // come first.
  template <typename Call>
  PluginStatus checkCall(Tracking::PluginExport id, Call&& call) {
    const std::string text = std::string("call ") + Tracking::exportName(id);
    const auto began = std::chrono::steady_clock::now();
    PluginStatus status = 0;
    {
      const Watch watch(*this, PluginCall::Kind::Export, text);
      status = call();
    }
    Check check{text, status == 0 ? CheckResult::Passed : CheckResult::Failed, "", std::chrono::steady_clock::now() - began};
    check.status = status;
    check.statusDescription = statusDescription(status);
    const bool failed = !check.passed();
    record(std::move(check));
    if (failed) explain({Tracking::ListingExplanation::ofStatus(status, statusDescription(status))});
    return status;
  }
  // A watched call that is no check (the stateless section); its result.
  template <typename Call>
  auto watchCall(Tracking::PluginExport id, Call&& call) {
    const Watch watch(*this, PluginCall::Kind::Export, std::string("call ") + Tracking::exportName(id));
    return call();
  }
  // Prints the header of a workflow: " Check main workflow:" for the first,
  // " Check main workflow (run 2 of 3):" for the later ones of --repeat.
  void beginWorkflow(std::uint32_t workflowRun);
  // Keeps a pose call's poses (printed by the caller); its number is given here.
  void addPose(PoseRecord pose);
  // With --explain=1, the texts that are not empty as "  Why: " lines, unless
  // the run has ended.
  void explain(const std::vector<std::string>& texts);
  // A check that is no plugin call (the strict checks): written, with " - "
  // and its cause when it failed for one.
  void addCheck(Check check);
  void setLatency(LatencyFigures latency);
  // Prints "End verification: <passed>/<total> passed" and returns the number
  // of failed checks.
  std::int32_t finish();
  // The whole run: start, the plugin loaded into a proxy of the kind, the
  // export checks, what the plugin says about itself, then `workflow(proxy)`
  // and the summary. After a failed start or export check nothing more is
  // done. Returns the number of failed checks.
  template <typename Proxy, typename Workflow>
  std::int32_t verify(Workflow&& workflow) {
    if (!start()) return failedCount();
    const auto proxy = loadProxy<Proxy>();
    if (!checkExports(proxy)) return failedCount();
    printStatelessInfo(proxy);
    workflow(proxy);
    return finish();
  }

  // The views.

  Tracking::PluginKind kind() const { return kind_; }
  std::int32_t plannedTotal() const { return plannedTotal_; }
  std::int32_t passedCount() const;
  std::int32_t failedCount() const;
  std::vector<Check> checks() const;
  std::vector<PoseRecord> poses() const;
  std::optional<LatencyFigures> latency() const;
  // Everything the run found so far.
  RunRecord snapshot() const;
  // The call under way and since when; nullopt between calls.
  std::optional<PluginCall> callUnderWay() const;
  std::chrono::steady_clock::time_point callStarted() const;

  // A run seen from outside (the parent of an isolated child): calls and
  // checks that another process made and wrote, recorded without writing.
  void enterRelayed(const PluginCall& call);
  void leaveRelayed();
  void recordRelayed(Check check);
  // The cause and duration of the check recorded last.
  // The cause, duration and status of the check recorded last, from `detail`.
  void detailRelayed(const Check& detail);
  // The run stopped with "Unable to continue..." after the check of this index.
  void stoppedRelayed(std::size_t check);
  // The run wrote its summary line with this total.
  void summaryRelayed(std::int32_t total);
  void hostCallRelayed(HostCall call);
  void pluginInfoRelayed(PluginInfo info);

  // Ends the run at the call under way (or, between calls, the last one): its
  // check is written as "[ FAILED ] : <text> - <cause>", then, for the load,
  // "Unable to continue..." and exit status 1 as for a library that does not
  // load; else a blank line and the summary, whose total stays the planned one
  // (checks that never ran count as not passed), and the exit status is the
  // total less the checks passed. With `callSerial` not 0, nothing happens
  // (nullopt) unless that call is still under way. Never returns a value
  // twice: once ended, a run ends no more.
  std::optional<int> end(CheckResult result, const std::string& cause, std::uint64_t callSerial = 0);
  // The serial of the call under way (counting from 1), or 0.
  std::uint64_t callSerial() const;
  // Whether end() has ended the run.
  bool hasEnded() const;

 private:
  // Marks a plugin call as under way for its lifetime.
  class Watch {
   public:
    Watch(VerificationRun& run, PluginCall::Kind kind, std::string text);
    ~Watch();
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;

   private:
    VerificationRun& run_;
  };

  void writeHostLine(const std::string& line) noexcept override;
  std::string loadText() const { return loadCheckText(pluginPath_); }
  // The path as typed, as the loader takes it (see platform::nativePath).
  platform::NativePath pluginNativePath() const;
  void enter(const PluginCall& call);
  void leave();
  void record(Check check);
  // The plugin's description of a status, as its stateless section read it.
  std::optional<std::string> statusDescription(PluginStatus status) const;
  // Prints "Unable to continue..." after the check of this index.
  void stop(std::size_t check);

  const Tracking::PluginKind kind_;
  const std::string pluginPath_;
  const RunSettings settings_;
  const std::int32_t plannedTotal_;
  RunObserver* observer_ = nullptr;
  RunRecord* keptRecord_ = nullptr;
  RunProgress progress_;
  bool writesHostLines_ = false;

  mutable std::mutex mutex_;
  std::vector<Check> checks_;
  std::vector<HostCall> hostCalls_;
  std::optional<PluginInfo> pluginInfo_;
  std::vector<PoseRecord> poses_;
  std::optional<LatencyFigures> latency_;
  std::optional<std::int32_t> summaryTotal_;
  std::optional<std::size_t> stoppedAt_;
  std::optional<PluginCall> call_;
  PluginCall lastCall_;
  std::uint64_t serial_ = 0;
  std::chrono::steady_clock::time_point callStarted_;
  bool ended_ = false;
};

}  // namespace Orvel::Verifier
