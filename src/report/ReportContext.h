// What a report says about the run beside the run's own record.
#pragma once
#include <string>

namespace Orvel::Report {

struct ReportContext {
  std::string mode;  // "verify", "verify-motion-platform-plugin" or "set"
  bool isolated = false;
  int exitStatus = 0;  // the status the program ends with
  // For the HTML report: the arguments of the run, and when it was made
  // ("2026-12-09 18:00:46", local time; empty when not known).
  std::string options;
  std::string time;
};

}  // namespace Orvel::Report
