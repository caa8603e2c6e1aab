#include "verifier/ReportFiles.h"

#include "logging/ProgressLine.h"
#include "platform/AtomicFile.h"
#include "platform/Clock.h"
#include "report/HtmlReport.h"
#include "report/InstalledPluginsReport.h"
#include "report/JUnitReport.h"
#include "report/JsonReport.h"
#include "tracking/ReportOutput.h"

namespace Orvel::Verifier {

namespace {

// Writes the file at `file` (the absolute path); false, after the error line
// naming the path as typed, when it could not be written.
bool writeReportFile(const std::string& typed, const std::string& file, const std::string& contents) {
  // The run is over, and a report may go to the terminal itself
  // (/dev/stderr): the progress line is gone for good before it is written.
  ProgressLine::instance().close();
  std::string errorText;
  if (platform::writeFileAtomically(file, contents, errorText)) return true;
  Tracking::printReport("[Error] Unable to write the report to %s: %s\n", typed.c_str(), errorText.c_str());
  return false;
}

// The arguments of the run as typed, for the HTML report: all but the
// plugin path, which it shows on its own.
std::string runOptions(const CommandLine& commandLine) {
  std::string options;
  for (const std::string& argument : commandLine.arguments) {
    if (argument.rfind("--plugin=", 0) == 0) continue;
    options += (options.empty() ? "" : " ") + argument;
  }
  return options;
}

// The local date and time, "2026-12-09 18:00:46"; empty when not known.
std::string localTime() {
  std::tm local{};
  long nanoseconds = 0;
  if (!platform::localNow(local, nanoseconds)) return "";
  char text[32];
  return std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local) != 0 ? text : "";
}

// The HTML report of verify-installed: a section per manifest, each
// verified plugin's with its run as an isolated verification of its kind.
std::string installedPluginsHtml(const CommandLine& commandLine, const std::vector<InstalledPlugin>& plugins,
                                 int status) {
  std::vector<Report::HtmlSection> sections;
  for (const InstalledPlugin& plugin : plugins) {
    Report::HtmlSection section;
    section.record = plugin.run ? &*plugin.run : nullptr;
    section.notVerified = plugin.run ? "" : plugin.reason;
    section.manifest = plugin.manifest;
    section.vendor = plugin.vendor;
    section.product = plugin.product;
    section.context.mode =
        plugin.kind == Tracking::PluginKind::MotionPlatform ? "verify-motion-platform-plugin" : "verify";
    section.context.isolated = true;
    section.context.exitStatus = plugin.exitStatus;
    sections.push_back(std::move(section));
  }
  Report::ReportContext context;
  context.mode = commandLine.mode;
  context.isolated = true;
  context.exitStatus = status;
  context.options = runOptions(commandLine);
  context.time = localTime();
  return Report::htmlReport(sections, context);
}

}  // namespace

int writeReportFiles(const CommandLine& commandLine, RunRecord record, int status) {
  if (commandLine.reportPath.empty() && commandLine.junitPath.empty() && commandLine.htmlPath.empty()) return status;
  record.pluginPath = commandLine.pluginPath;
  Report::ReportContext context;
  context.mode = commandLine.mode.empty() ? "verify" : commandLine.mode;
  context.isolated = commandLine.isolate;
  context.exitStatus = status;
  bool written = true;
  if (!commandLine.reportPath.empty()) {
    written = writeReportFile(commandLine.reportPath, commandLine.reportFile, Report::jsonReport(record, context)) && written;
  }
  if (!commandLine.junitPath.empty()) {
    written = writeReportFile(commandLine.junitPath, commandLine.junitFile, Report::junitReport(record, context)) && written;
  }
  if (!commandLine.htmlPath.empty()) {
    context.options = runOptions(commandLine);
    context.time = localTime();
    written = writeReportFile(commandLine.htmlPath, commandLine.htmlFile, Report::htmlReport(record, context)) && written;
  }
  return written || status != 0 ? status : 1;
}

int writeInstalledReportFiles(const CommandLine& commandLine, const std::string& pluginsFolder,
                              std::vector<InstalledPlugin> plugins, int status) {
  if (commandLine.reportPath.empty() && commandLine.junitPath.empty() && commandLine.htmlPath.empty()) return status;
  const Report::InstalledPluginsContext context{pluginsFolder, status};
  bool written = true;
  if (!commandLine.reportPath.empty()) {
    written = writeReportFile(commandLine.reportPath, commandLine.reportFile,
                              Report::installedPluginsJson(plugins, context)) && written;
  }
  if (!commandLine.junitPath.empty()) {
    written = writeReportFile(commandLine.junitPath, commandLine.junitFile,
                              Report::installedPluginsJUnit(plugins, context)) && written;
  }
  if (!commandLine.htmlPath.empty()) {
    written = writeReportFile(commandLine.htmlPath, commandLine.htmlFile,
                              installedPluginsHtml(commandLine, plugins, status)) && written;
  }
  return written || status != 0 ? status : 1;
}

}  // namespace Orvel::Verifier
