// What a verification run tells the parts that watch it from outside the
// plugin calls: a deadline's watchdog, and an isolated child's channel to its
// parent. Called on the thread that makes the plugin calls.
#pragma once
#include <cstdint>
#include <string>

#include "run/Check.h"
#include "run/RunRecord.h"

namespace Orvel::Verifier {

// A plugin call under way: the library load, or a call of an export.
struct PluginCall {
  enum class Kind { Load, Export };
  Kind kind = Kind::Export;
  std::string text;  // the text of the check it belongs to: "Loading DLL <path>" or "call <export>"
  std::uint64_t serial = 0;  // counts the calls of a run from 1
};

class VerificationRun;

class RunObserver {
 public:
  virtual ~RunObserver() = default;
  // The run that tells this observer from now on.
  virtual void attached(VerificationRun& run) { (void)run; }
  virtual void callEntered(const PluginCall& call) = 0;
  virtual void callLeft(const PluginCall& call) = 0;
  virtual void checkMade(const Check& check) = 0;
  // What the run finds besides its calls and checks. A host service's line
  // may come from any plugin thread; it is told while the run holds it, so
  // that lines and checks are told in the order they were printed.
  virtual void hostLineWritten(const HostCall& call) { (void)call; }
  virtual void pluginInfoRead(const PluginInfo& info) { (void)info; }
  virtual void poseAdded(const PoseRecord& pose) { (void)pose; }
  virtual void latencyMeasured(const LatencyFigures& latency) { (void)latency; }
  // The run stopped with "Unable to continue..." after the check of this index.
  virtual void runStopped(std::size_t check) { (void)check; }
  // The summary line was written, with this total.
  virtual void summaryWritten(std::int32_t total) { (void)total; }
};

}  // namespace Orvel::Verifier
