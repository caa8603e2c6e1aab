// The lines an isolated child writes on its channel to the parent, one
// event each, every one after the run's token and a blank (the token comes
// with the marker argument, after the channel's name and a colon):
//   enter call <export>      a plugin call begins ("enter call orvel_PluginInit")
//   enter load <check text>  the library load begins ("enter load Loading DLL <path>")
//   leave <nanoseconds>      the call or load under way returned, after this
//                            long by the child's clock
//   check passed <text>      a check was written ("check failed call orvel_TrackerStart")
//   done <status>            the run is over; the child's exit status follows
//   data <JSON object>       what the run found besides calls and checks, for
//                            the reports (see RelayedDetails.h)
// and, when it validates libraries for the listing, once when it is ready
//   ready
// and then per library asked for:
//   error <text>             one problem found, in order
//   kind tracking|motion|none
//   why <text>               with --explain=1: one line of the library's explanation
//   valid 0|1, answered
// Before its answer it ends the library's standard output with outputMark:
// it runs ahead of the parent, and the parent relays each library's output
// between the lines it writes for that library.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace Orvel::Verifier::ChildProtocol {

// The argument by which a parent hands its child the channel:
// kChildChannelKey "=" <the channel's marker>.
inline constexpr char kChildChannelKey[] = "--orvel-isolated-child";

constexpr std::string_view kEnter = "enter ";
constexpr std::string_view kEnterCall = "call ";
constexpr std::string_view kEnterLoad = "load ";
constexpr std::string_view kLeave = "leave ";
constexpr std::string_view kCheckPassed = "check passed ";
constexpr std::string_view kCheckFailed = "check failed ";
constexpr std::string_view kDone = "done ";
constexpr std::string_view kData = "data ";
constexpr std::string_view kError = "error ";
constexpr std::string_view kKind = "kind ";
constexpr std::string_view kWhy = "why ";
constexpr std::string_view kValid = "valid ";
constexpr std::string_view kReady = "ready";
constexpr std::string_view kAnswered = "answered";

// The marker argument's value: the channel's name, a colon, the run's token.
struct ChannelMarker {
  std::string name;
  std::string token;
};

inline ChannelMarker splitMarker(const std::string& value) {
  const std::size_t colon = value.find(':');
  if (colon == std::string::npos) return {value, {}};
  return {value.substr(0, colon), value.substr(colon + 1)};
}

// True when `line` begins with `prefix`; `rest` is then what follows it.
inline bool startsWith(std::string_view line, std::string_view prefix, std::string& rest) {
  if (line.substr(0, prefix.size()) != prefix) return false;
  rest = std::string(line.substr(prefix.size()));
  return true;
}

// The mark after the standard output of the child's `answer`-th library
// (from 1). Control characters around it keep it out of log lines; the
// number keeps a plugin's text that looks like a mark from ending the output
// of another library.
inline std::string outputMark(std::size_t answer) {
  return "\x1e" "orvel: library " + std::to_string(answer) + " answered\x1e";
}

// A text on one line: a line end in it would split the event.
inline std::string oneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

}  // namespace Orvel::Verifier::ChildProtocol
