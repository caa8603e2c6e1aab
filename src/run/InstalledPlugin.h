// What verify-installed found for one installed plugin's manifest: the
// summary line's and the reports' data.
#pragma once
#include <optional>
#include <string>

#include "run/RunRecord.h"
#include "tracking/PluginExports.h"

namespace Orvel::Verifier {

struct InstalledPlugin {
  enum class Status { Passed, Failed, NotVerified };
  std::string manifest;  // the manifest file's path as the system gives it
  std::string vendor;    // the manifest's texts; empty when it was not read
  std::string product;
  std::string id;
  // The kind verified; none for a manifest that was not verified.
  std::optional<Tracking::PluginKind> kind;
  Status status = Status::NotVerified;
  std::string reason;  // why it was not verified; empty otherwise
  // The verification's exit status as the single run ends with it.
  int exitStatus = 0;
  // The run's record, when a report needs it (kept only then).
  std::optional<RunRecord> run;
  std::int32_t passed = 0;  // the summary line's counts
  std::int32_t total = 0;
};

}  // namespace Orvel::Verifier
