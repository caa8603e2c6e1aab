// Everything a verification run found, as data: the checks, the lines of
// the host services, what the plugin says about itself, the poses as numbers
// and the latency of its pose function. The JSON and JUnit reports are
// written from it.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "OrvelPluginAPI.h"
#include "run/Check.h"
#include "run/LatencyFigures.h"
#include "run/RunSettings.h"
#include "tracking/PluginExports.h"

namespace Orvel::Verifier {

// A line that a host service printed.
struct HostCall {
  std::string line;  // as printed, without its line end: "\t WriteLogMessage: ..."
  // The index in the checks of the check under way when the service ran: the
  // check whose report line follows it (a line from a plugin thread between
  // two checks belongs to the next one). May equal the number of checks when
  // no check followed.
  std::size_t check = 0;
};

// What the plugin says about itself; a null text stays empty (nullopt).
struct PluginInfo {
  std::int64_t type = 0;
  std::string apiVersion;  // "4.16.0.0"
  std::optional<std::string> name;
  std::array<std::optional<std::string>, 5> statusDescriptions;  // of -2 to 2
};

// One call of the pose function and the poses it saw.
struct PoseRecord {
  std::uint32_t call = 0;         // counts the pose calls of the run from 1
  std::uint32_t workflowRun = 1;  // the workflow (of --repeat) it was made in, from 1
  PluginStatus status = 0;        // what the call returned
  std::optional<Pose> input;      // the motion platform's input, as it was after the call
  Pose output{};                  // the pose returned
};

struct RunRecord {
  Tracking::PluginKind kind = Tracking::PluginKind::Tracking;
  RunSettings settings;
  std::string pluginPath;  // as typed
  std::vector<Check> checks;
  std::vector<HostCall> hostCalls;
  std::optional<PluginInfo> pluginInfo;
  std::vector<PoseRecord> poses;
  std::optional<LatencyFigures> latency;
  std::int32_t passed = 0;
  // The total of the summary line; the checks made when the run stopped
  // before it.
  std::int32_t total = 0;
  // The summary line was written.
  bool summaryReached = false;
  // The index of the check after which the run stopped with "Unable to
  // continue...", when it did.
  std::optional<std::size_t> stoppedAt;
};

}  // namespace Orvel::Verifier
