#include "report/JUnitReport.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "report/CheckResultName.h"
#include "report/XmlText.h"
#include "run/CheckPlan.h"

namespace Orvel::Report {

namespace {

std::string seconds(std::chrono::nanoseconds duration) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6f", static_cast<double>(duration.count()) / 1e9);
  return text;
}

std::string attribute(const char* name, const std::string& value) { return xmlNamedAttribute(name, value); }

// The element inside a testcase that says why it did not pass; "" when it
// passed. Its message is the cause written after " - " on the report line,
// else what a call returned, else "failed".
std::string outcome(const Verifier::Check& check) {
  using Verifier::CheckResult;
  if (check.passed()) return "";
  const char* element = check.result == CheckResult::Failed ? "failure" : "error";
  std::string message = check.cause;
  if (message.empty()) message = check.status ? "returned " + std::to_string(*check.status) : "failed";
  return std::string("<") + element + attribute("message", message) +
         attribute("type", checkResultName(check.result)) + "/>";
}

// A testcase's name: the check's text, with the pose call and, under
// --repeat, the workflow it belongs to, so that every name in a suite is
// unique ("call orvel_GetHMDPose (pose 3 of 5, run 2 of 3)").
std::string testcaseName(const std::string& text, const Verifier::PlannedCheck* planned, std::uint32_t repeat) {
  if (planned == nullptr || planned->text != text) return text;
  std::string within;
  if (planned->poseCall != 0) {
    within = "pose " + std::to_string(planned->poseCall) + " of " + std::to_string(Verifier::kPoseCallsPerWorkflow);
  }
  if (planned->workflowRun != 0 && repeat > 1) {
    within += (within.empty() ? "run " : ", run ") + std::to_string(planned->workflowRun) + " of " +
              std::to_string(repeat);
  }
  return within.empty() ? text : text + " (" + within + ")";
}

// The plugin's file name with each "." as "_": readers split a classname at its dots.
std::string classFileName(const std::string& pluginPath) {
  std::string name = pathFileName(pluginPath);
  std::replace(name.begin(), name.end(), '.', '_');
  return name;
}

// How a run that stopped early ended, for the suite's properties; "" for a
// run that reached its summary.
std::string stopProperties(const Verifier::RunRecord& record) {
  if (record.summaryReached) return "";
  std::string properties = "  <properties>\n";
  if (record.stoppedAt && *record.stoppedAt < record.checks.size()) {
    properties += "    <property" + attribute("name", "stoppedAt") +
                  attribute("value", record.checks[*record.stoppedAt].text) + "/>\n";
  }
  properties += "    <property" + attribute("name", "summary") + attribute("value", "not reached") + "/>\n";
  return properties + "  </properties>\n";
}

}  // namespace

std::string pathFileName(const std::string& path) {
  std::string separators = "/";
  if (std::filesystem::path::preferred_separator != '/') {
    separators += static_cast<char>(std::filesystem::path::preferred_separator);
  }
  const std::size_t last = path.find_last_of(separators);
  return last == std::string::npos ? path : path.substr(last + 1);
}

std::string junitReport(const Verifier::RunRecord& record, const ReportContext& context) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + junitSuite(record, context, "OrvelPluginVerifier");
}

std::string junitSuite(const Verifier::RunRecord& record, const ReportContext& context, const std::string& suiteName) {
  const std::string classname = context.mode + "." + classFileName(record.pluginPath);
  const std::vector<Verifier::PlannedCheck> plan = Verifier::planChecks(record.kind, record.pluginPath, record.settings);
  const auto planned = [&](std::size_t index) { return index < plan.size() ? &plan[index] : nullptr; };
  std::size_t failures = 0;
  std::size_t errors = 0;
  std::chrono::nanoseconds time{0};
  std::string cases;
  for (std::size_t index = 0; index < record.checks.size(); ++index) {
    const Verifier::Check& check = record.checks[index];
    if (check.result == Verifier::CheckResult::Failed) ++failures;
    if (!check.passed() && check.result != Verifier::CheckResult::Failed) ++errors;
    time += check.duration;
    const std::string inner = outcome(check);
    cases += "  <testcase" + attribute("classname", classname) +
             attribute("name", testcaseName(check.text, planned(index), record.settings.repeat)) +
             attribute("time", seconds(check.duration)) + (inner.empty() ? "/>\n" : ">" + inner + "</testcase>\n");
  }
  const std::size_t made = record.checks.size();
  const std::size_t total = std::max(made, static_cast<std::size_t>(std::max(record.total, 0)));
  for (std::size_t n = made + 1; n <= total; ++n) {
    const Verifier::PlannedCheck* skipped = planned(n - 1);
    const std::string name = skipped != nullptr ? testcaseName(skipped->text, skipped, record.settings.repeat)
                                                : "check " + std::to_string(n) + " of " + std::to_string(total);
    cases += "  <testcase" + attribute("classname", classname) + attribute("name", name) + attribute("time", seconds({})) +
             "><skipped" + attribute("message", "the run ended before this check") + "/></testcase>\n";
  }
  return "<testsuite" + attribute("name", suiteName) +
         attribute("tests", std::to_string(total)) + attribute("failures", std::to_string(failures)) +
         attribute("errors", std::to_string(errors)) + attribute("skipped", std::to_string(total - made)) +
         attribute("time", seconds(time)) + ">\n" + stopProperties(record) + cases + "</testsuite>\n";
}

}  // namespace Orvel::Report
