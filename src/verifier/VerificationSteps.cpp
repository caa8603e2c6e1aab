#include "verifier/VerificationSteps.h"

#include "logging/Logger.h"
#include "platform/SharedLibrary.h"
#include "tracking/ReportOutput.h"
#include "tracking/RuntimeDLL.h"

namespace Orvel::Verifier {

namespace {
std::int32_t totalCount = 0;
std::int32_t failedCount = 0;
}  // namespace

std::int32_t checksTotal() { return totalCount; }
std::int32_t checksFailed() { return failedCount; }

void reportCheck(bool passed, const std::string& text) {
  ++totalCount;
  if (!passed) ++failedCount;
  Tracking::printReport("[ %s ] : %s\n", passed ? "OK" : "FAILED", text.c_str());
}

void discardLogLines() {
  Logger::instance().setSink([](int, const std::string&) {});
}

bool checkPluginLoads(const std::string& pluginPath) {
  const RuntimeDLL plugin(platform::widenLibraryPath(pluginPath));
  const bool loaded = plugin.library().isLoaded();
  reportCheck(loaded, "Loading DLL " + pluginPath);
  return loaded;
}

bool startRun(const std::string& pluginPath) {
  discardLogLines();
  Tracking::printReport("Start verification\n");
  if (checkPluginLoads(pluginPath)) return true;
  Tracking::printReport("Unable to continue...\n");
  return false;
}

std::vector<ExportCheck> commonExportChecks(const Tracking::CommonAPIProxy& proxy) {
  return {
      {"orvel_GetPluginType", proxy.GetPluginType != nullptr},
      {"orvel_GetPluginAPIVersion", proxy.GetPluginAPIVersion != nullptr},
      {"orvel_GetPluginName", proxy.GetPluginName != nullptr},
      {"orvel_GetPluginStatusDescription", proxy.GetPluginStatusDescription != nullptr},
      {"orvel_PluginInit", proxy.PluginInit != nullptr},
      {"orvel_PluginShutdown", proxy.PluginShutdown != nullptr},
  };
}

bool reportExportChecks(const std::vector<ExportCheck>& checks, bool proxyValid) {
  for (const ExportCheck& check : checks) reportCheck(check.present, std::string("Find API function: ") + check.name);
  if (proxyValid) return true;
  Tracking::printReport("Unable to continue...\n");
  return false;
}

std::int32_t finishRun() {
  Tracking::printReport("\nEnd verification: %d/%d passed\n", checksTotal() - checksFailed(), checksTotal());
  return checksFailed();
}

void printStatelessInfo(const Tracking::CommonAPIProxy& proxy) {
  using Tracking::pluginText;
  using Tracking::printReport;
  printReport("\n Check stateless API functions:\n");
  printReport("orvel_GetPluginType = %lld\n", static_cast<long long>(proxy.GetPluginType()));
  const std::uint64_t version = proxy.GetPluginAPIVersion();
  printReport("orvel_GetPluginAPIVersion = %lld.%lld.%lld.%lld\n",
              static_cast<long long>(ORVEL_PLUGIN_API_VERSION_MAJOR(version)),
              static_cast<long long>(ORVEL_PLUGIN_API_VERSION_MINOR(version)),
              static_cast<long long>(ORVEL_PLUGIN_API_VERSION_THIRD(version)),
              static_cast<long long>(ORVEL_PLUGIN_API_VERSION_FOURTH(version)));
  printReport("orvel_GetPluginName = %s\n", pluginText(proxy.GetPluginName()));
  for (int status = -2; status <= 2; ++status) {
    printReport("orvel_GetPluginStatusDescription(%d) = %s\n", status,
                pluginText(proxy.GetPluginStatusDescription(static_cast<PluginStatus>(status))));
  }
}

}  // namespace Orvel::Verifier
