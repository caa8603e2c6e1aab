#include "verifier/CommandLine.h"

#include <cctype>
#include <filesystem>
#include <system_error>

#include "isolation/ChildProtocol.h"
#include "platform/NarrowPath.h"

namespace Orvel::Verifier {

namespace {

// The plugin API version this tool implements; 4.16 is also the newest
// major.minor it accepts from a plugin.
constexpr int kApiVersion[4] = {4, 16, 0, 0};

constexpr std::uint32_t kLongestTimeoutMs = 3600000;
constexpr std::uint32_t kIsolatedDefaultTimeoutMs = 30000;
constexpr std::uint32_t kMostRepeats = 1000;
constexpr std::uint32_t kLargestLatencyBudgetUs = 60000000;
constexpr std::uint32_t kMostJobs = 64;

bool isKnownMode(const std::string& mode) {
  return mode == "verify" || mode == "verify-motion-platform-plugin" || mode == "set" || mode == "status" ||
         mode == "verify-installed";
}

CommandLine fail(int exitStatus) {
  CommandLine result;
  result.action = CommandLine::Action::Fail;
  result.exitStatus = exitStatus;
  return result;
}

// A decimal number of digits only, within [lowest, highest].
bool parseNumber(const std::string& text, std::uint32_t lowest, std::uint32_t highest, std::uint32_t& value) {
  if (text.empty() || text.size() > 10) return false;
  std::uint64_t number = 0;
  for (const char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    number = number * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (number < lowest || number > highest) return false;
  value = static_cast<std::uint32_t>(number);
  return true;
}

// The report path made absolute against the working folder; as typed when
// it is not a path this system can read.
std::string absoluteReportPath(const std::string& typed) {
  try {
    return platform::narrowPath(std::filesystem::absolute(platform::nativePath(typed)));
  } catch (const std::exception&) {
    return typed;
  }
}

// Whether two absolute report paths name one file: the same text, or one
// existing regular file reached by both (a link, or another spelling of the
// name). Two names of one terminal or pipe (/dev/stdout, /dev/stderr) may
// take both reports: each is written in place, nothing is replaced.
bool isSameFile(const std::string& first, const std::string& second) {
  try {
    const std::filesystem::path one = platform::nativePath(first);
    const std::filesystem::path other = platform::nativePath(second);
    if (one.lexically_normal() == other.lexically_normal()) return true;
    std::error_code error;
    return std::filesystem::is_regular_file(one, error) && std::filesystem::equivalent(one, other, error) && !error;
  } catch (const std::exception&) {
    return first == second;
  }
}

bool isRunArgument(const std::string& key) {
  return key == "--strict" || key == "--repeat" || key == "--latency-budget-us" || key == "--report" ||
         key == "--junit" || key == "--html";
}

// Takes the value of a run argument; false when it is not a valid one.
bool readRunArgument(const std::string& key, const std::string& value, CommandLine& result) {
  std::uint32_t number = 0;
  if (key == "--strict") {
    if (value != "0" && value != "1") return false;
    result.settings.strict = value == "1";
  } else if (key == "--repeat") {
    if (!parseNumber(value, 1, kMostRepeats, number)) return false;
    result.settings.repeat = number;
  } else if (key == "--latency-budget-us") {
    if (!parseNumber(value, 0, kLargestLatencyBudgetUs, number)) return false;
    result.settings.latencyBudgetUs = number;
  } else {
    if (value.empty()) return false;
    std::string file = absoluteReportPath(value);
    // One file cannot hold two reports: the one written last would be all that is left.
    std::string* const files[] = {&result.reportFile, &result.junitFile, &result.htmlFile};
    std::string* const paths[] = {&result.reportPath, &result.junitPath, &result.htmlPath};
    const std::size_t own = key == "--report" ? 0 : key == "--junit" ? 1 : 2;
    for (std::size_t other = 0; other < 3; ++other) {
      if (other != own && !files[other]->empty() && isSameFile(file, *files[other])) return false;
    }
    *paths[own] = value;
    *files[own] = std::move(file);
  }
  return true;
}

// Takes the value of --explain or --plugins-dir; false when it is not a valid one.
bool readListingArgument(const std::string& key, const std::string& value, CommandLine& result) {
  if (key == "--explain") {
    if (value != "0" && value != "1") return false;
    result.explain = value == "1";
    result.settings.explain = result.explain;
    return true;
  }
  if (value.empty()) return false;
  try {
    static_cast<void>(platform::nativePath(value));  // a folder name this system can read
  } catch (const std::exception&) {
    return false;
  }
  result.pluginsFolder = value;
  return true;
}

CommandLine invalidValue(std::string& out, const std::string& key, const std::string& value) {
  out += "Invalid value for " + key + ": " + value + "\n";
  writeUsage(out);
  return fail(1);
}

}  // namespace

std::uint32_t CommandLine::deadlineMs() const {
  if (timeoutMs != 0) return timeoutMs;
  return isolate ? kIsolatedDefaultTimeoutMs : 0;
}

void writeUsage(std::string& out) {
  out += "OrvelPluginAPI v" + std::to_string(kApiVersion[0]) + '.' + std::to_string(kApiVersion[1]) + '.' +
         std::to_string(kApiVersion[2]) + '.' + std::to_string(kApiVersion[3]) + " Verifier\n\n";
  out += "Command line parameters:\n\n"
         "\t --mode - execution mode:\n"
         "\t\t=verify (default) - run conformance tests for tracking plugin;\n"
         "\t\t=verify-motion-platform-plugin - run conformance tests for motion platform plugin;\n"
         "\t\t=set - set specified tracker to be used by Orvel App.\n"
         "\t --plugin - the path to plugin DLL.\n"
         "\t --list   - list installed plugins.\n"
         "Example Usage:\n"
         "  > OrvelPluginVerifier.exe --mode=verify --plugin=C:\\Tracker\\plugin.dll\n"
         "  > OrvelPluginVerifier.exe --mode=verify-motion-platform-plugin --plugin=C:\\MotionPlatform\\plugin.dll\n";
}

CommandLine parseCommandLine(int argc, const char* const argv[], std::string& out) {
  if (argc < 2) {
    out += "[Error] Invalid number of arguments\n";
    writeUsage(out);
    return fail(-1);
  }
  CommandLine result;
  // The last --isolate given was 0: verify-installed always isolates.
  bool isolationRefused = false;
  for (int i = 1; i < argc; ++i) result.arguments.emplace_back(argv[i] != nullptr ? argv[i] : "");
  for (const std::string& argument : result.arguments) {
    if (argument == "--list") {
      result.action = CommandLine::Action::ListPlugins;
      return result;
    }
    const std::size_t equals = argument.find('=');
    if (equals == std::string::npos) {
      out += "[Error] Invalid \"key=pair\" format: " + argument + "\n";
      writeUsage(out);
      return fail(1);
    }
    const std::string key = argument.substr(0, equals);
    if (key == "--mode") {
      result.mode = argument.substr(equals + 1);
      if (!isKnownMode(result.mode)) {
        out += "[Error] Wrong mode value: " + argument + "\n";
        writeUsage(out);
        return fail(1);
      }
    } else if (key == "--plugin") {
      result.pluginPath = argument.substr(equals + 1);
    } else if (key == "--verify") {
      const std::string value = argument.substr(equals + 1);
      if (value != "0" && value != "1") return invalidValue(out, key, value);
      result.verify = value == "1";
    } else if (key == "--progress") {
      const std::string value = argument.substr(equals + 1);
      if (value != "0" && value != "1") return invalidValue(out, key, value);
      result.progress = value == "1";
    } else if (key == "--isolate" || key == "--timeout") {
      const std::string value = argument.substr(equals + 1);
      std::uint32_t number = 0;
      const bool valid = key == "--isolate" ? (value == "0" || value == "1") && parseNumber(value, 0, 1, number)
                                            : parseNumber(value, 1, kLongestTimeoutMs, number);
      if (!valid) return invalidValue(out, key, value);
      if (key == "--isolate") {
        result.isolate = number == 1;
        isolationRefused = number == 0;
      } else {
        result.timeoutMs = number;
      }
    } else if (isRunArgument(key)) {
      const std::string value = argument.substr(equals + 1);
      if (!readRunArgument(key, value, result)) return invalidValue(out, key, value);
    } else if (key == "--jobs") {
      const std::string value = argument.substr(equals + 1);
      if (!parseNumber(value, 1, kMostJobs, result.jobs)) return invalidValue(out, key, value);
    } else if (key == "--explain" || key == "--plugins-dir") {
      const std::string value = argument.substr(equals + 1);
      if (!readListingArgument(key, value, result)) return invalidValue(out, key, value);
    } else if (key == ChildProtocol::kChildChannelKey) {
      result.childChannel = argument.substr(equals + 1);
    }
  }
  if (result.mode == "verify-installed") {
    if (isolationRefused) return invalidValue(out, "--isolate", "0");
    result.isolate = true;
  }
  return result;
}

}  // namespace Orvel::Verifier
