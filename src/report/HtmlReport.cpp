#include "report/HtmlReport.h"

#include <cstdio>

#include "OrvelPluginAPI.h"
#include "report/CheckResultName.h"
#include "report/HtmlStyle.h"
#include "report/HtmlText.h"
#include "report/JUnitReport.h"
#include "report/LatencyHistogram.h"
#include "report/PoseCharts.h"
#include "tracking/ApiVersionText.h"

namespace Orvel::Report {

namespace {

using Verifier::CheckResult;
using Verifier::RunRecord;

// The mark of a check's result: told by its text, the colour only adds to it.
const char* resultMark(CheckResult result) {
  switch (result) {
    case CheckResult::Passed: return "\xE2\x9C\x94 passed";
    case CheckResult::Failed: return "\xE2\x9C\x98 FAILED";
    case CheckResult::Crashed: return "\xE2\x9C\x98 CRASHED";
    case CheckResult::TimedOut: return "\xE2\x9C\x98 TIMED OUT";
    case CheckResult::EndedProcess: return "\xE2\x9C\x98 ENDED THE PROCESS";
  }
  return "\xE2\x9C\x98 FAILED";
}

bool passedRun(const RunRecord& record, const ReportContext& context) {
  return context.exitStatus == 0 && record.passed == record.total;
}

std::string milliseconds(std::chrono::nanoseconds duration) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", static_cast<double>(duration.count()) / 1e6);
  return text;
}

std::string kindName(Tracking::PluginKind kind) {
  return kind == Tracking::PluginKind::MotionPlatform ? "motion platform plugin" : "tracking plugin";
}

std::string item(const char* term, const std::string& escapedValue) {
  return std::string("<dt>") + term + "</dt><dd>" + escapedValue + "</dd>";
}

// The banner of a run; `id` prefixes the ids of its rows, which it links.
std::string banner(const RunRecord& record, const ReportContext& context, const std::string& id) {
  const bool passed = passedRun(record, context);
  std::string html = "<header class=\"banner " + std::string(passed ? "passed" : "failed") +
                     "\"><p class=\"verdict\">" + (passed ? "PASSED" : "FAILED") + "</p><p>" +
                     std::to_string(record.passed) + "/" + std::to_string(record.total) + " checks passed";
  for (std::size_t i = 0; i < record.checks.size(); ++i) {
    if (record.checks[i].passed()) continue;
    html += " \xC2\xB7 <a href=\"#" + id + "check-" + std::to_string(i + 1) + "\">first failure: " +
            htmlText(record.checks[i].text) + "</a>";
    break;
  }
  html += "</p><dl>";
  html += item("Plugin", htmlText(record.pluginPath));
  html += item("Kind", kindName(record.kind));
  if (record.pluginInfo) {
    html += item("Name", record.pluginInfo->name ? htmlText(*record.pluginInfo->name) : "<i>none given</i>");
    html += item("API version", htmlText(record.pluginInfo->apiVersion));
  } else {
    html += item("Name", "<i>not read: the run ended before</i>");
  }
  html += item("Mode", htmlText(context.mode) + (context.isolated ? ", isolated" : ""));
  if (!context.time.empty()) html += item("Date and time", htmlText(context.time));
  html += item("Tool", "OrvelPluginVerifier, plugin API " + Tracking::apiVersionText(ORVEL_PLUGIN_API_VERSION_CURRENT));
  html += item("Options", context.options.empty() ? "<i>none</i>" : "<code>" + htmlText(context.options) + "</code>");
  html += item("Exit status", std::to_string(context.exitStatus));
  return html + "</dl></header>";
}

std::string hostLines(const RunRecord& record, std::size_t check) {
  std::string lines;
  for (const Verifier::HostCall& call : record.hostCalls) {
    if (call.check == check) lines += htmlText(call.line) + "\n";
  }
  return lines.empty() ? "" : "<pre>" + lines + "</pre>";
}

std::string checkTable(const RunRecord& record, const std::string& id) {
  std::string html =
      "<h2>Checks</h2><table class=\"checks\"><colgroup><col class=\"mark\"><col class=\"name\"><col class=\"cause\">"
      "<col class=\"ms\"><col class=\"host\"></colgroup><thead><tr><th>Result</th><th>Check</th><th>Cause</th>"
      "<th>Duration (ms)</th><th>Host service lines during the check</th></tr></thead><tbody>";
  for (std::size_t i = 0; i < record.checks.size(); ++i) {
    const Verifier::Check& check = record.checks[i];
    // Rows are kept short: a --repeat=1000 run has thousands. Only a check
    // that did not pass gets an id, for the banner's link.
    html += "<tr class=\"" + std::string(checkResultName(check.result)) + "\"" +
            (check.passed() ? std::string() : " id=\"" + id + "check-" + std::to_string(i + 1) + "\"") + "><td>" +
            resultMark(check.result) + "</td><td>" + htmlText(check.text) + "</td><td>" + htmlText(check.cause) +
            "</td><td>" + milliseconds(check.duration) + "</td><td>" + hostLines(record, i) + "</td></tr>";
  }
  html += "</tbody></table>";
  const std::size_t made = record.checks.size();
  if (record.total > static_cast<std::int32_t>(made)) {
    html += "<p class=\"note\">" + std::to_string(static_cast<std::size_t>(record.total) - made) +
            " checks were not made: the run ended before them.</p>";
  }
  const std::string after = hostLines(record, made);
  if (!after.empty()) html += "<h3>Host service lines after the last check</h3>" + after;
  return html;
}

// One run's report below its banner.
std::string runBody(const RunRecord& record, const std::string& id) {
  std::string html = checkTable(record, id);
  html += "<h2>Poses</h2>" + poseCharts(record.poses, record.kind);
  if (record.latency) html += "<h2>Latency</h2>" + latencyHistogram(*record.latency);
  return html;
}

std::string document(const std::string& title, const std::string& body) {
  return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
         "<meta name=\"color-scheme\" content=\"light dark\"><title>" +
         htmlText(title) + "</title><style>" + kHtmlStyle + "</style></head><body>" + body + "</body></html>\n";
}

}  // namespace

std::string htmlReport(const RunRecord& record, const ReportContext& context) {
  const std::string verdict = passedRun(record, context) ? "PASSED" : "FAILED";
  const std::string body = "<h1>OrvelPluginVerifier report</h1>" + banner(record, context, "") + runBody(record, "");
  return document("OrvelPluginVerifier: " + verdict + ": " + pathFileName(record.pluginPath), body);
}

std::string htmlReport(const std::vector<HtmlSection>& plugins, const ReportContext& context) {
  const auto passedPlugin = [](const HtmlSection& plugin) {
    return plugin.record != nullptr && passedRun(*plugin.record, plugin.context);
  };
  std::size_t passed = 0;
  for (const HtmlSection& plugin : plugins) passed += passedPlugin(plugin) ? 1 : 0;
  const bool allPassed = context.exitStatus == 0 && passed == plugins.size();
  std::string body = "<h1>OrvelPluginVerifier report</h1><header class=\"banner " +
                     std::string(allPassed ? "passed" : "failed") + "\"><p class=\"verdict\">" +
                     (allPassed ? "PASSED" : "FAILED") + "</p><p>" + std::to_string(passed) + "/" +
                     std::to_string(plugins.size()) + " plugins passed</p><dl>" + item("Mode", htmlText(context.mode));
  if (!context.time.empty()) body += item("Date and time", htmlText(context.time));
  body += item("Tool", "OrvelPluginVerifier, plugin API " + Tracking::apiVersionText(ORVEL_PLUGIN_API_VERSION_CURRENT));
  body += item("Options", context.options.empty() ? "<i>none</i>" : "<code>" + htmlText(context.options) + "</code>");
  body += item("Exit status", std::to_string(context.exitStatus)) + "</dl></header>";
  body += "<h2>Plugins</h2><table class=\"overview\"><colgroup><col class=\"mark\"><col class=\"ms\"><col><col>"
          "<col></colgroup><thead><tr><th>Verdict</th><th>Passed</th><th>Vendor</th><th>Product</th>"
          "<th>Plugin</th></tr></thead><tbody>";
  for (std::size_t i = 0; i < plugins.size(); ++i) {
    const HtmlSection& plugin = plugins[i];
    const bool ok = passedPlugin(plugin);
    const std::string id = "p" + std::to_string(i + 1) + "-";
    const std::string mark = plugin.record == nullptr ? "\xE2\x80\x93 NOT VERIFIED"
                             : ok                     ? "\xE2\x9C\x94 PASSED"
                                                      : "\xE2\x9C\x98 FAILED";
    const std::string counts = plugin.record == nullptr ? std::string()
                                                        : std::to_string(plugin.record->passed) + "/" +
                                                              std::to_string(plugin.record->total);
    const std::string what = plugin.record == nullptr ? plugin.manifest : plugin.record->pluginPath;
    body += "<tr class=\"verdict-" + std::string(ok ? "passed" : "failed") + "\"><td class=\"mark\">" + mark +
            "</td><td class=\"ms\">" + counts + "</td><td>" + htmlText(plugin.vendor) + "</td><td>" +
            htmlText(plugin.product) + "</td><td><a href=\"#" + id + "top\">" + htmlText(what) + "</a></td></tr>";
  }
  body += "</tbody></table>";
  for (std::size_t i = 0; i < plugins.size(); ++i) {
    const HtmlSection& plugin = plugins[i];
    const std::string id = "p" + std::to_string(i + 1) + "-";
    const std::string heading = plugin.vendor.empty() && plugin.product.empty()
                                    ? htmlText(plugin.manifest)
                                    : htmlText(plugin.vendor) + " / " + htmlText(plugin.product);
    body += "<section><h2 id=\"" + id + "top\">" + heading + "</h2>" +
            (plugin.record == nullptr
                 ? "<p class=\"note\">Not verified: " + htmlText(plugin.notVerified) + "</p>"
                 : banner(*plugin.record, plugin.context, id) + runBody(*plugin.record, id)) +
            "</section>";
  }
  return document("OrvelPluginVerifier: " + std::string(allPassed ? "PASSED" : "FAILED"), body);
}

}  // namespace Orvel::Report
