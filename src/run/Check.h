// One check of a verification run, as data: the report line and every later
// view of the run are written from it.
#pragma once
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace Orvel::Verifier {

enum class CheckResult {
  Passed,
  Failed,        // the plugin answered, with a failure
  Crashed,       // the plugin's process died during the check
  TimedOut,      // the plugin did not return within the deadline
  EndedProcess,  // the plugin ended the process itself
};

struct Check {
  Check() = default;
  Check(std::string text, CheckResult result, std::string cause = {}, std::chrono::nanoseconds duration = {})
      : text(std::move(text)), result(result), cause(std::move(cause)), duration(duration) {}

  std::string text;  // "Loading DLL <path>", "Find API function: <export>", "call <export>"
  CheckResult result = CheckResult::Passed;
  // Why it did not pass, when the plugin gave no answer or a data check names
  // the first offending value; else empty.
  std::string cause;
  std::chrono::nanoseconds duration{0};
  // A call's check: the status the plugin returned, and the plugin's
  // description of it when it gave one (in its stateless section).
  std::optional<std::int64_t> status;
  std::optional<std::string> statusDescription;

  bool passed() const { return result == CheckResult::Passed; }
};

}  // namespace Orvel::Verifier
