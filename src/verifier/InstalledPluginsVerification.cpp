// The verify-installed mode: every installed plugin that the listing finds
// valid is verified in a child process of its own, up to --jobs at once; each
// manifest's block is printed whole and in the listing's order, then a line
// per manifest and the count of those that passed.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "isolation/IsolatedValidator.h"
#include "isolation/Isolation.h"
#include "isolation/OrderedRuns.h"
#include "logging/ProgressLine.h"
#include "platform/ExitStatus.h"
#include "platform/KnownFolders.h"
#include "platform/NarrowPath.h"
#include "platform/ProcessorAffinity.h"
#include "run/InstalledPlugin.h"
#include "run/VerificationRun.h"
#include "tracking/ListingExplanation.h"
#include "tracking/PluginDiscovery.h"
#include "tracking/ReportOutput.h"
#include "verifier/KindHeadings.h"
#include "verifier/Modes.h"
#include "verifier/ReadManifest.h"
#include "verifier/ReportFiles.h"

namespace Orvel::Verifier {

namespace {

using Tracking::LibraryValidation;
using Tracking::ListingExplanation;
using Tracking::writeReport;

// The reasons of a manifest whose listing shows nothing but its Found line.
constexpr const char* kNotLoaded = ListingExplanation::kNotLoaded;
constexpr const char* kNeitherKind = ListingExplanation::kNeitherKind;

std::string joined(const std::vector<std::string>& texts) {
  std::string result;
  for (const std::string& text : texts) result += (result.empty() ? "" : "; ") + text;
  return result;
}

// What the listing prints for a manifest on one line: its heading (without
// the colon when nothing follows) and its ERROR lines.
std::string listedAs(std::string heading, const std::vector<std::string>& errors) {
  if (errors.empty()) {
    if (!heading.empty() && heading.back() == ':') heading.pop_back();
    return heading;
  }
  return heading + " " + joined(errors);
}

// Why the listing's validation keeps a read manifest from being verified;
// empty for a valid plugin. `errors` are the problems the validation found.
std::string reasonNotValid(const LibraryValidation& library, std::vector<std::string> errors) {
  if (!library.failure.empty()) errors.push_back(library.failure);
  if (library.kind != LibraryValidation::Kind::Neither) {
    return library.valid ? std::string() : listedAs(headingsOf(library.kind).invalid, errors);
  }
  if (!library.failure.empty()) return joined(errors);
  // The explanation (always asked for here) begins with the reason's own words.
  const bool loadFailed = !library.why.empty() && library.why.front().rfind(kNotLoaded, 0) == 0;
  return loadFailed ? kNotLoaded : kNeitherKind;
}

// The searched folder as the reports name it: as typed, else the plugins
// folder under the program data folder.
std::string searchedFolder(const CommandLine& commandLine) {
  if (!commandLine.pluginsFolder.empty()) return commandLine.pluginsFolder;
  std::filesystem::path programData;
  if (!platform::programDataFolder(programData)) return {};
  return platform::narrowPath(programData / "Orvel" / "OrvelTracking" / "Plugins");
}

// The manifest's library path as --plugin= takes it (the narrow form of the
// file functions); as written when it is not UTF-8.
std::string pluginArgument(const std::string& libraryPath) {
  platform::NativePath native;
  std::uint32_t code = 0;
  if (!platform::utf8ToNativePath(libraryPath, native, code)) return libraryPath;
  return platform::narrowPath(std::filesystem::path(native));
}

// The listing's validation of the next library asked for; what the child
// prints meanwhile is no part of this mode's output.
LibraryValidation validateQuietly(IsolatedValidator& validator, const Tracking::PluginDiscovery& discovery) {
  const Tracking::ReportSink discard = [](std::string_view) {};
  const Tracking::ReportSink* before = Tracking::setThreadReportSink(&discard);
  LibraryValidation library;
  try {
    library = validator.answer(discovery);
  } catch (...) {
    Tracking::setThreadReportSink(before);
    throw;
  }
  Tracking::setThreadReportSink(before);
  return library;
}

// Runs the isolated verification of one plugin into `result`; on the
// calling thread, whose report text is the plugin's block.
void verifyInto(InstalledPlugin& result, const IsolatedRun& request, Tracking::PluginKind kind, bool keepRun) {
  RunRecord record;
  int status = -1;
  try {
    status = verifyIsolated(request, kind, &record);
  } catch (const std::exception& e) {
    Tracking::printReport("[Error] Unhandled exception happened: %s\n", e.what());
  }
  result.exitStatus = platform::processExitStatus(status);
  result.status = status == 0 ? InstalledPlugin::Status::Passed : InstalledPlugin::Status::Failed;
  result.passed = record.passed;
  result.total = record.total;
  if (keepRun) result.run = std::move(record);
}

std::string summaryLine(const InstalledPlugin& plugin) {
  if (plugin.status == InstalledPlugin::Status::NotVerified) return "[ NOT VERIFIED ] " + plugin.manifest + "\n";
  const char* mark = plugin.status == InstalledPlugin::Status::Passed ? "[ PASSED ] " : "[ FAILED ] ";
  return mark + std::to_string(plugin.passed) + "/" + std::to_string(plugin.total) + " " + plugin.vendor + " / " +
         plugin.product + "\n";
}

}  // namespace

int verifyInstalledPlugins(const CommandLine& commandLine) {
  // Only report lines, as in the verify modes: no discovery log lines.
  discardLogLines();
  std::vector<std::string> errors;
  Tracking::PluginDiscovery discovery;
  discovery.setErrorHandler([&errors](const std::string& error) { errors.push_back(error); });
  // Without a program data folder the search finds nothing and says so
  // only in a log line: that must not pass for an empty installation.
  const std::string folder = searchedFolder(commandLine);
  if (folder.empty()) errors.push_back("The path of the program data folder is not available");
  std::vector<ReadManifest> manifests;
  if (errors.empty()) manifests = readManifests(discovery, commandLine, errors);
  if (!errors.empty()) {
    // The search found nothing: a folder that cannot be searched is an error,
    // not an empty installation.
    if (commandLine.explain) {
      for (const std::string& error : errors) {
        writeReport(ListingExplanation::lines({ListingExplanation::ofSearch(error)}));
      }
    }
    for (const std::string& error : errors) {
      const std::string line = "ERROR: " + error + "\n";
      ProgressLine::instance().write(stderr, line);
    }
    std::fflush(stderr);
    return 1;
  }

  const bool keepRuns = !commandLine.reportPath.empty() || !commandLine.junitPath.empty() || !commandLine.htmlPath.empty();
  const std::size_t count = manifests.size();
  std::vector<InstalledPlugin> results(count);
  // The validator's child serves the listing's validation, with explanations.
  std::vector<std::string> listing = commandLine.arguments;
  listing.insert(listing.end(), {"--explain=1", "--list"});
  IsolatedValidator validator(std::move(listing), commandLine.deadlineMs());
  for (const ReadManifest& entry : manifests) {
    if (entry.read) validator.ask(entry.manifest.path);
  }
  {
    OrderedRuns runs(commandLine.jobs != 0 ? commandLine.jobs : platform::usableProcessorCount());
    for (std::size_t i = 0; i < count; ++i) {
      ReadManifest& entry = manifests[i];
      InstalledPlugin& result = results[i];
      result.manifest = platform::narrowPath(entry.file);
      std::string shown = "plugin " + std::to_string(i + 1) + " of " + std::to_string(count);
      if (entry.read) shown += ": " + entry.manifest.vendorName + " / " + entry.manifest.productName;
      ProgressLine::instance().show(0, shown);
      std::string lead =
          "=== " + std::to_string(i + 1) + " of " + std::to_string(count) + ": " + result.manifest + "\n";
      std::vector<std::string> why;
      if (!entry.read) {
        result.reason = listedAs(kUnreadManifestHeading, entry.errors);
        why.push_back(ListingExplanation::ofUnreadManifest(entry.errors));
      } else {
        result.vendor = entry.manifest.vendorName;
        result.product = entry.manifest.productName;
        result.id = entry.manifest.ID;
        errors.clear();
        const LibraryValidation library = validateQuietly(validator, discovery);
        result.reason = reasonNotValid(library, errors);
        if (result.reason.empty()) {
          const Tracking::PluginKind kind = library.kind == LibraryValidation::Kind::MotionPlatform
                                                ? Tracking::PluginKind::MotionPlatform
                                                : Tracking::PluginKind::Tracking;
          result.kind = kind;
          IsolatedRun request{commandLine.arguments, entry.manifest.path, commandLine.deadlineMs(),
                              commandLine.settings};
          request.arguments.push_back(kind == Tracking::PluginKind::MotionPlatform
                                          ? "--mode=verify-motion-platform-plugin"
                                          : "--mode=verify");
          request.arguments.push_back("--plugin=" + pluginArgument(entry.manifest.path));
          runs.add(std::move(lead), [&result, request = std::move(request), kind, keepRuns] {
            verifyInto(result, request, kind, keepRuns);
          });
          entry = ReadManifest();  // what it held is no longer needed
          continue;
        }
        why = libraryExplanation(entry, library, true);
      }
      lead += "Not verified: " + result.reason + "\n";
      if (commandLine.explain) lead += ListingExplanation::lines(why);
      runs.add(std::move(lead));
      entry = ReadManifest();
    }
  }

  // An empty installation has no summary lines, only the count.
  std::string summary = count == 0 ? "" : "\n Installed plugins:\n";
  std::size_t passed = 0;
  for (const InstalledPlugin& plugin : results) {
    summary += summaryLine(plugin);
    passed += plugin.status == InstalledPlugin::Status::Passed ? 1 : 0;
  }
  if (count != 0) summary += "\n";
  writeReport(summary + std::to_string(passed) + " of " + std::to_string(count) + " installed plugins passed\n");
  const int status = platform::processExitStatus(static_cast<int>(count - passed));
  return writeInstalledReportFiles(commandLine, folder, std::move(results), status);
}

}  // namespace Orvel::Verifier
