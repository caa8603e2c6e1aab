// orvel_bench_process: whole-process figures of OrvelPluginVerifier, each
// beside the limit that a bare program reaches on the same machine in the
// same run:
//   start-up       an argument error, against a C program that prints a line
//   set mode       --mode=set --plugin=openvr against the reference server,
//                  against a bare client that connects, shakes hands and
//                  reads the definitions
//   listing        --list of 1,000 valid manifests, against loading and
//                  unloading the library as often as the listing must
//   verification   --mode=verify of the sample tracker, against the 500 ms of
//                  sleeps it contains; its peak memory against a C program
//                  that loads the same plugin
//   isolated       --isolate=1: the verification against the same 500 ms of
//                  sleeps, and the listing of the 1,000 manifests against the
//                  same listing in one process
//   html           --mode=verify of the sample tracker with --html=PATH,
//                  against the same verification without a report
//   installed      --mode=verify-installed of 8 copies of the sample tracker:
//                  with --jobs=8 against one isolated verification of it, with
//                  --jobs=1 against 8 isolated verifications one after another
// Usage: orvel_bench_process [--brief] [--pairs=N] [--only=NAME]
//   --brief      each pair once or twice (CI: proves the suite runs)
//   --pairs=N    N measured pairs per figure instead of the defaults
//   --only=NAME  one figure: startup, set, list, verify, isolated, html or installed
// Exit status 0 when every run did its work, whether targets are met or not;
// 1 when a run failed (wrong exit status or output).
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>

#include "PairedRuns.h"
#include "ProgramDataFolder.h"
#include "ReferenceServer.h"
#include "common/Figure.h"

namespace {

using namespace Orvel::Bench;

const std::string kVerifier = ORVEL_BENCH_VERIFIER;
const std::string kServer = ORVEL_BENCH_SERVER;
const std::string kSampleTracker = ORVEL_BENCH_SAMPLE_TRACKER;
const std::string kPrintLine = ORVEL_BENCH_PRINT_LINE;
const std::string kLoadPlugin = ORVEL_BENCH_LOAD_PLUGIN;
const std::string kLoadUnload = ORVEL_BENCH_LOAD_UNLOAD;
const std::string kSetClient = ORVEL_BENCH_SET_CLIENT;

constexpr int kManifests = 1000;
constexpr int kVendors = 10;
// A valid tracking plugin is loaded once to detect its kind and once more to
// validate it; the motion platform checks never run for it.
constexpr int kLoadsPerValidTrackingManifest = 2;
// Five poses, each followed by a sleep of 100 ms.
constexpr double kVerificationSleepMs = 500;

struct Options {
  bool brief = false;
  int pairs = 0;      // 0: each figure's default
  std::string only;   // empty: every figure
};

int pairsFor(const Options& options, int normal) {
  if (options.pairs > 0) return options.pairs;
  return options.brief ? 2 : normal;
}

void printSpread(const std::string& what, const Samples& samples, const char* unit) {
  std::printf("  %-58s %s %s\n", what.c_str(), samples.summary().c_str(), unit);
}

void printTimeFigure(const std::string& name, const std::string& limitName, const PairedResult& result,
                     double target) {
  printSpread(name + ":", result.programMs, "ms");
  printSpread(limitName + ":", result.referenceMs, "ms");
  printFigure({name, result.programMs.median(), result.referenceMs.median(), "ms", limitName, false, target});
}

void startUp(const Options& options) {
  const PairedRuns runs({{kVerifier, "--help"}, {}}, {1, "[Error] Invalid \"key=pair\" format: --help"},
                        {{kPrintLine}, {}}, {0, "\n"});
  printTimeFigure("start-up, argument error", "C program printing one line", runs.run(pairsFor(options, 200)), 2.0);
}

void setMode(const Options& options) {
  const ReferenceServer server(kServer);
  const PairedRuns runs({{kVerifier, "--mode=set", "--plugin=openvr"}, {}}, {0, ""}, {{kSetClient}, {}},
                        {0, " property definitions\n"});
  printTimeFigure("set mode, --plugin=openvr", "bare client: connect, handshake, definitions",
                  runs.run(pairsFor(options, 100)), 1.5);
}

void listing(const Options& options) {
  const ProgramDataFolder folder(kSampleTracker, kManifests, kVendors);
  const int loads = kManifests * kLoadsPerValidTrackingManifest;
  const PairedRuns runs({{kVerifier, "--list"}, {folder.environmentEntry()}},
                        {0, "Manifest references tracking plugin:\n", static_cast<std::size_t>(kManifests)},
                        {{kLoadUnload, kSampleTracker, std::to_string(loads)}, {}}, {0, "\n"});
  printTimeFigure("listing, " + std::to_string(kManifests) + " manifests",
                  std::to_string(loads) + " loads and unloads of the library", runs.run(pairsFor(options, 20)), 1.5);
}

// The same tree listed with every library validated in an isolated child,
// against the listing in one process.
void isolatedListing(const Options& options) {
  const ProgramDataFolder folder(kSampleTracker, kManifests, kVendors);
  const Expectation allTracking{0, "Manifest references tracking plugin:\n", static_cast<std::size_t>(kManifests)};
  const PairedRuns runs({{kVerifier, "--isolate=1", "--list"}, {folder.environmentEntry()}}, allTracking,
                        {{kVerifier, "--list"}, {folder.environmentEntry()}}, allTracking);
  printTimeFigure("listing with --isolate=1, " + std::to_string(kManifests) + " manifests",
                  "the same listing in one process", runs.run(pairsFor(options, 10)), 1.5);
}

// The verification run in a child process, against the same 500 ms of sleeps.
void isolatedVerification(const Options& options) {
  const PairedRuns runs({{kVerifier, "--isolate=1", "--mode=verify", "--plugin=" + kSampleTracker}, {}},
                        {0, "\nEnd verification: 19/19 passed\n"}, {{kLoadPlugin, kSampleTracker}, {}}, {0, "\n"});
  const PairedResult result = runs.run(pairsFor(options, 15));
  const std::string name = "verification with --isolate=1 of the sample tracker";
  printSpread(name + ":", result.programMs, "ms");
  printFigure({name, result.programMs.median(), kVerificationSleepMs, "ms", "its 5 sleeps of 100 ms", false, 1.05});
}

void verification(const Options& options) {
  const PairedRuns runs({{kVerifier, "--mode=verify", "--plugin=" + kSampleTracker}, {}},
                        {0, "\nEnd verification: 19/19 passed\n"}, {{kLoadPlugin, kSampleTracker}, {}}, {0, "\n"});
  const PairedResult result = runs.run(pairsFor(options, 15));
  const std::string name = "verification of the sample tracker";
  printSpread(name + ":", result.programMs, "ms");
  printFigure({name, result.programMs.median(), kVerificationSleepMs, "ms", "its 5 sleeps of 100 ms", false, 1.05});
  printSpread(name + ", peak memory:", result.programMiB, "MiB");
  printSpread("C program loading the plugin, peak memory:", result.referenceMiB, "MiB");
  printFigure({"verification peak memory", result.programMiB.median(), result.referenceMiB.median(), "MiB",
               "C program loading the plugin", false, 2.0});
}

// What writing the HTML report adds to a verification of the sample tracker.
void htmlReport(const Options& options) {
  const std::string path = (std::filesystem::temp_directory_path() / "orvel-bench-report.html").string();
  const Expectation passed{0, "\nEnd verification: 19/19 passed\n"};
  const PairedRuns runs({{kVerifier, "--mode=verify", "--plugin=" + kSampleTracker, "--html=" + path}, {}}, passed,
                        {{kVerifier, "--mode=verify", "--plugin=" + kSampleTracker}, {}}, passed);
  printTimeFigure("verification of the sample tracker with --html", "the same verification without a report",
                  runs.run(pairsFor(options, 15)), 1.05);
  std::filesystem::remove(path);
}

// Eight installed copies of the sample tracker verified side by side, and one
// at a time.
void installedVerification(const Options& options) {
  constexpr int kCopies = 8;
  const ProgramDataFolder folder(kSampleTracker, kCopies, kCopies);
  const Command installed{{kVerifier, "--mode=verify-installed", "--jobs=8"}, {folder.environmentEntry()}};
  const Expectation allPassed{0, "\n8 of 8 installed plugins passed\n"};
  const std::string isolated = "'" + kVerifier + "' --isolate=1 --mode=verify '--plugin=" + kSampleTracker + "'";
  const PairedRuns sideBySide(installed, allPassed,
                              {{kVerifier, "--isolate=1", "--mode=verify", "--plugin=" + kSampleTracker}, {}},
                              {0, "\nEnd verification: 19/19 passed\n"});
  printTimeFigure("verify-installed --jobs=8, 8 sample trackers", "one isolated verification of it",
                  sideBySide.run(pairsFor(options, 10)), 1.5);
  Command oneAtATime = installed;
  oneAtATime.arguments.back() = "--jobs=1";
  // The reference's shell costs a start of its own, well under 1% of the figure.
  const PairedRuns inTurn(oneAtATime, allPassed,
                          {{"/bin/sh", "-c", "for n in 1 2 3 4 5 6 7 8; do " + isolated + " || exit 1; done"}, {}},
                          {0, "\nEnd verification: 19/19 passed\n", static_cast<std::size_t>(kCopies)});
  printTimeFigure("verify-installed --jobs=1, 8 sample trackers", "8 isolated verifications one after another",
                  inTurn.run(pairsFor(options, 5)), 1.05);
}

bool parseOptions(int argc, char* argv[], Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--brief") {
      options.brief = true;
    } else if (argument.rfind("--pairs=", 0) == 0 && std::atoi(argument.c_str() + 8) > 0) {
      options.pairs = std::atoi(argument.c_str() + 8);
    } else if (argument == "--only=startup" || argument == "--only=set" || argument == "--only=list" ||
               argument == "--only=verify" || argument == "--only=isolated" || argument == "--only=html" ||
               argument == "--only=installed") {
      options.only = argument.substr(7);
    } else {
      std::fprintf(stderr, "usage: %s [--brief] [--pairs=N] [--only=startup|set|list|verify|isolated|html|installed]\n",
                   argv[0]);
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char* argv[]) {
  Options options;
  if (!parseOptions(argc, argv, options)) return 2;
  try {
    const auto wanted = [&options](const char* name) { return options.only.empty() || options.only == name; };
    if (wanted("startup")) startUp(options);
    if (wanted("set")) setMode(options);
    if (wanted("list")) listing(options);
    if (wanted("verify")) verification(options);
    if (wanted("isolated")) {
      isolatedVerification(options);
      isolatedListing(options);
    }
    if (wanted("html")) htmlReport(options);
    if (wanted("installed")) installedVerification(options);
  } catch (const std::exception& error) {
    std::fflush(stdout);
    std::fprintf(stderr, "orvel_bench_process: %s\n", error.what());
    return 1;
  }
  return 0;
}
