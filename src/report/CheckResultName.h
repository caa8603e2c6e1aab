// The names the reports give a check's result.
#pragma once
#include "run/Check.h"

namespace Orvel::Report {

// "passed", "failed", "crashed", "timed-out", "ended-process"
inline const char* checkResultName(Verifier::CheckResult result) {
  switch (result) {
    case Verifier::CheckResult::Passed: return "passed";
    case Verifier::CheckResult::Failed: return "failed";
    case Verifier::CheckResult::Crashed: return "crashed";
    case Verifier::CheckResult::TimedOut: return "timed-out";
    case Verifier::CheckResult::EndedProcess: return "ended-process";
  }
  return "failed";
}

}  // namespace Orvel::Report
