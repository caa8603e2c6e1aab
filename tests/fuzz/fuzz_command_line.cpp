// Command-line parsing: arguments are the input split at NUL bytes. Checks
// that parsing never crashes and that its result agrees with the rules: an
// error names the argument it stopped at, "--list" stops the reading, a key
// whose value is checked stops it at an invalid value, the last valid
// --mode / --plugin value wins, and verify-installed refuses a last --isolate=0.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "verifier/CommandLine.h"

using Orvel::Verifier::CommandLine;

namespace {

// Whether value is a decimal number of at most ten digits within [lowest, highest].
bool isNumberWithin(const std::string& value, unsigned long long lowest, unsigned long long highest) {
  if (value.empty() || value.size() > 10 || value.find_first_not_of("0123456789") != std::string::npos) return false;
  const unsigned long long number = std::strtoull(value.c_str(), nullptr, 10);
  return number >= lowest && number <= highest;
}

// For the keys whose values are checked: whether value is one they take.
// Keys whose values are not checked are not in the list.
bool isCheckedKey(const std::string& key, const std::string& value, bool& valid) {
  if (key == "--isolate" || key == "--strict" || key == "--verify" || key == "--explain" ||
      key == "--progress") {
    valid = value == "0" || value == "1";
  } else if (key == "--timeout") {
    valid = isNumberWithin(value, 1, 3600000);
  } else if (key == "--jobs") {
    valid = isNumberWithin(value, 1, 64);
  } else if (key == "--repeat") {
    valid = isNumberWithin(value, 1, 1000);
  } else if (key == "--latency-budget-us") {
    valid = isNumberWithin(value, 0, 60000000);
  } else if (key == "--report" || key == "--junit" || key == "--html" || key == "--plugins-dir") {
    valid = !value.empty();
  } else {
    return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> arguments{"OrvelPluginVerifier"};
  std::string current;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      arguments.push_back(current);
      current.clear();
    } else {
      current.push_back(static_cast<char>(data[i]));
    }
  }
  if (!current.empty()) arguments.push_back(current);
  std::vector<const char*> argv;
  for (const auto& argument : arguments) argv.push_back(argument.c_str());

  std::string out;
  const CommandLine result = Orvel::Verifier::parseCommandLine(static_cast<int>(argv.size()), argv.data(), out);

  // Replay the rules independently.
  std::string mode, plugin;
  bool isolationRefused = false;  // the last --isolate read was 0
  std::map<std::string, std::string> reports;  // by key: the path each report file takes
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& a = arguments[i];
    if (a == "--list") {
      if (result.action != CommandLine::Action::ListPlugins || !out.empty()) std::abort();
      return 0;
    }
    const auto equals = a.find('=');
    if (equals == std::string::npos) {
      if (result.action != CommandLine::Action::Fail || result.exitStatus != 1) std::abort();
      if (out.rfind("[Error] Invalid \"key=pair\" format: " + a + "\n", 0) != 0) std::abort();
      return 0;
    }
    const std::string key = a.substr(0, equals), value = a.substr(equals + 1);
    bool valid = true;
    if (isCheckedKey(key, value, valid) && !valid) {
      if (result.action != CommandLine::Action::Fail || result.exitStatus != 1) std::abort();
      if (out.rfind("Invalid value for " + key + ": " + value + "\n", 0) != 0) std::abort();
      return 0;
    }
    if (key == "--report" || key == "--junit" || key == "--html") {
      // One file cannot take two reports: a value that names the file of
      // another report is refused when it is read. The same text always
      // does; another spelling of one file (a link, "./x" for "x") may,
      // which this replay does not judge.
      bool taken = false;
      for (const auto& [other, path] : reports) taken = taken || (other != key && path == value);
      const bool refused = result.action == CommandLine::Action::Fail && result.exitStatus == 1 &&
                           out.rfind("Invalid value for " + key + ": " + value + "\n", 0) == 0;
      if (taken && !refused) std::abort();
      if (refused && !reports.empty()) return 0;
      reports[key] = value;
    }
    if (key == "--mode") {
      if (value != "verify" && value != "set" && value != "verify-motion-platform-plugin" && value != "status" &&
          value != "verify-installed") {
        if (result.action != CommandLine::Action::Fail || result.exitStatus != 1) std::abort();
        if (out.rfind("[Error] Wrong mode value: " + a + "\n", 0) != 0) std::abort();
        return 0;
      }
      mode = value;
    } else if (key == "--plugin") {
      plugin = value;
    } else if (key == "--isolate") {
      isolationRefused = value == "0";
    }
  }
  if (arguments.size() < 2) {
    if (result.action != CommandLine::Action::Fail || result.exitStatus != -1) std::abort();
    return 0;
  }
  if (mode == "verify-installed" && isolationRefused) {
    if (result.action != CommandLine::Action::Fail || result.exitStatus != 1) std::abort();
    if (out.rfind("Invalid value for --isolate: 0\n", 0) != 0) std::abort();
    return 0;
  }
  if (result.action != CommandLine::Action::RunMode || result.mode != mode || result.pluginPath != plugin ||
      !out.empty())
    std::abort();
  if (mode == "verify-installed" && !result.isolate) std::abort();
  return 0;
}
