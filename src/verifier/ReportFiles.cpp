#include "verifier/ReportFiles.h"

#include "platform/AtomicFile.h"
#include "report/InstalledPluginsReport.h"
#include "report/JUnitReport.h"
#include "report/JsonReport.h"
#include "tracking/ReportOutput.h"

namespace Orvel::Verifier {

namespace {

// Writes the file at `file` (the absolute path); false, after the error line
// naming the path as typed, when it could not be written.
bool writeReportFile(const std::string& typed, const std::string& file, const std::string& contents) {
  std::string errorText;
  if (platform::writeFileAtomically(file, contents, errorText)) return true;
  Tracking::printReport("[Error] Unable to write the report to %s: %s\n", typed.c_str(), errorText.c_str());
  return false;
}

}  // namespace

int writeReportFiles(const CommandLine& commandLine, RunRecord record, int status) {
  if (commandLine.reportPath.empty() && commandLine.junitPath.empty()) return status;
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
  return written || status != 0 ? status : 1;
}

int writeInstalledReportFiles(const CommandLine& commandLine, const std::string& pluginsFolder,
                              std::vector<InstalledPlugin> plugins, int status) {
  if (commandLine.reportPath.empty() && commandLine.junitPath.empty()) return status;
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
  return written || status != 0 ? status : 1;
}

}  // namespace Orvel::Verifier
