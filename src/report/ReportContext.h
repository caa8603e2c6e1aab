// What a report says about the run beside the run's own record.
#pragma once
#include <string>

namespace Orvel::Report {

struct ReportContext {
  std::string mode;  // "verify", "verify-motion-platform-plugin" or "set"
  bool isolated = false;
  int exitStatus = 0;  // the status the program ends with
};

}  // namespace Orvel::Report
