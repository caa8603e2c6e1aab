#include "report/InstalledPluginsReport.h"

#include <nlohmann/json.hpp>

#include "OrvelPluginAPI.h"
#include "report/JUnitReport.h"
#include "report/JsonReport.h"
#include "report/Utf8Text.h"
#include "report/XmlText.h"
#include "tracking/ApiVersionText.h"

namespace Orvel::Report {

namespace {

using Json = nlohmann::ordered_json;
using Verifier::InstalledPlugin;

constexpr char kSuiteName[] = "installed plugins";

const char* statusName(InstalledPlugin::Status status) {
  switch (status) {
    case InstalledPlugin::Status::Passed: return "passed";
    case InstalledPlugin::Status::Failed: return "failed";
    case InstalledPlugin::Status::NotVerified: break;
  }
  return "not-verified";
}

// The mode that verifies a plugin of the kind, as its own report names it.
std::string modeOf(Tracking::PluginKind kind) {
  return kind == Tracking::PluginKind::MotionPlatform ? "verify-motion-platform-plugin" : "verify";
}

ReportContext runContext(const InstalledPlugin& plugin) {
  ReportContext context;
  context.mode = modeOf(plugin.kind.value_or(Tracking::PluginKind::Tracking));
  context.isolated = true;
  context.exitStatus = plugin.exitStatus;
  return context;
}

Json kindName(const std::optional<Tracking::PluginKind>& kind) {
  if (!kind) return nullptr;
  return *kind == Tracking::PluginKind::MotionPlatform ? "motion-platform" : "tracking";
}

std::string attribute(const char* name, const std::string& value) { return xmlNamedAttribute(name, value); }

// A verified plugin's runs keep the manifest's path in their suite's name.
std::string pluginSuiteName(const InstalledPlugin& plugin) {
  return plugin.vendor + " / " + plugin.product + " (" + plugin.manifest + ")";
}

}  // namespace

std::string installedPluginsJson(const std::vector<InstalledPlugin>& plugins, const InstalledPluginsContext& context) {
  Json list = Json::array();
  std::int64_t passed = 0;
  for (const InstalledPlugin& plugin : plugins) {
    passed += plugin.status == InstalledPlugin::Status::Passed ? 1 : 0;
    const bool verified = plugin.status != InstalledPlugin::Status::NotVerified;
    list.push_back(Json{{"manifest", validUtf8(plugin.manifest)},
                        {"vendor", validUtf8(plugin.vendor)},
                        {"product", validUtf8(plugin.product)},
                        {"id", validUtf8(plugin.id)},
                        {"kind", kindName(plugin.kind)},
                        {"status", statusName(plugin.status)},
                        {"reason", verified ? Json(nullptr) : Json(validUtf8(plugin.reason))},
                        {"report", verified && plugin.run ? jsonReportObject(*plugin.run, runContext(plugin))
                                                          : Json(nullptr)}});
  }
  Json report;
  report["tool"] = Json{{"name", "OrvelPluginVerifier"},
                        {"pluginApiVersion", Tracking::apiVersionText(ORVEL_PLUGIN_API_VERSION_CURRENT)}};
  report["mode"] = "verify-installed";
  report["pluginsFolder"] = validUtf8(context.pluginsFolder);
  report["plugins"] = std::move(list);
  report["passed"] = passed;
  report["total"] = plugins.size();
  report["exitStatus"] = context.exitStatus;
  return report.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string installedPluginsJUnit(const std::vector<InstalledPlugin>& plugins, const InstalledPluginsContext&) {
  std::size_t failures = 0;
  std::string cases;
  std::string suites;
  for (const InstalledPlugin& plugin : plugins) {
    std::string failure;
    if (plugin.status == InstalledPlugin::Status::Failed) {
      failure = "<failure" +
                attribute("message", std::to_string(plugin.passed) + "/" + std::to_string(plugin.total) + " passed") +
                attribute("type", "failed") + "/>";
    } else if (plugin.status == InstalledPlugin::Status::NotVerified) {
      failure = "<failure" + attribute("message", plugin.reason) + attribute("type", "not-verified") + "/>";
    }
    failures += failure.empty() ? 0 : 1;
    cases += "  <testcase" + attribute("classname", kSuiteName) + attribute("name", plugin.manifest) +
             (failure.empty() ? "/>\n" : ">" + failure + "</testcase>\n");
    if (plugin.status != InstalledPlugin::Status::NotVerified && plugin.run) {
      suites += junitSuite(*plugin.run, runContext(plugin), pluginSuiteName(plugin));
    }
  }
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites>\n<testsuite" + attribute("name", kSuiteName) +
         attribute("tests", std::to_string(plugins.size())) + attribute("failures", std::to_string(failures)) +
         attribute("errors", "0") + ">\n" + cases + "</testsuite>\n" + suites + "</testsuites>\n";
}

}  // namespace Orvel::Report
