#include "report/JUnitReport.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "report/CheckResultName.h"
#include "report/XmlText.h"

namespace Orvel::Report {

namespace {

std::string seconds(std::chrono::nanoseconds duration) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6f", static_cast<double>(duration.count()) / 1e9);
  return text;
}

std::string attribute(const char* name, const std::string& value) {
  return std::string(" ") + name + "=\"" + xmlAttribute(value) + "\"";
}

// The element inside a testcase that says why it did not pass; "" when it passed.
std::string outcome(const Verifier::Check& check) {
  using Verifier::CheckResult;
  if (check.passed()) return "";
  const char* element = check.result == CheckResult::Failed ? "failure" : "error";
  const std::string message = check.cause.empty() ? "[ FAILED ] : " + check.text : check.cause;
  return std::string("<") + element + attribute("message", message) +
         attribute("type", checkResultName(check.result)) + "/>";
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
  const std::string classname = context.mode + "." + pathFileName(record.pluginPath);
  std::size_t failures = 0;
  std::size_t errors = 0;
  std::chrono::nanoseconds time{0};
  std::string cases;
  for (const Verifier::Check& check : record.checks) {
    if (check.result == Verifier::CheckResult::Failed) ++failures;
    if (!check.passed() && check.result != Verifier::CheckResult::Failed) ++errors;
    time += check.duration;
    const std::string inner = outcome(check);
    cases += "  <testcase" + attribute("classname", classname) + attribute("name", check.text) +
             attribute("time", seconds(check.duration)) + (inner.empty() ? "/>\n" : ">" + inner + "</testcase>\n");
  }
  const std::size_t made = record.checks.size();
  const std::size_t total = std::max(made, static_cast<std::size_t>(std::max(record.total, 0)));
  for (std::size_t n = made + 1; n <= total; ++n) {
    const std::string name = "check " + std::to_string(n) + " of " + std::to_string(total) + " (not run)";
    cases += "  <testcase" + attribute("classname", classname) + attribute("name", name) + attribute("time", seconds({})) +
             "><skipped" + attribute("message", "the run ended before this check") + "/></testcase>\n";
  }
  return "<testsuite" + attribute("name", suiteName) +
         attribute("tests", std::to_string(total)) + attribute("failures", std::to_string(failures)) +
         attribute("errors", std::to_string(errors)) + attribute("skipped", std::to_string(total - made)) +
         attribute("time", seconds(time)) + ">\n" + cases + "</testsuite>\n";
}

}  // namespace Orvel::Report
