// Which kind of plugin a manifest's library is and whether it is valid, as
// the listing asks: here, or in an isolated child that one library's crash,
// early end or silence cannot take down with the listing.
#pragma once
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ChildProcess.h"
#include "tracking/PluginDiscovery.h"
#include "tracking/PluginManifest.h"

namespace Orvel::Verifier {

class IsolatedChild;

struct LibraryValidation {
  enum class Kind { Neither, Tracking, MotionPlatform };
  Kind kind = Kind::Neither;
  bool valid = false;
  // Set when the library crashed, ended the process or missed the deadline
  // (isolated only): what happened, as its ERROR line says it.
  std::string failure;
};

// Kind detection, then the validation of that kind; the problems go to the
// discovery's error handler.
LibraryValidation validateLibrary(const Tracking::PluginDiscovery& discovery, const Tracking::PluginManifest& manifest);

// The child's side: validates the library of each path (one UTF-8 line each
// on standard input) until the input ends, and tells the parent the problems,
// the kind and the validity on the channel. Returns 0.
int serveValidations(platform::ParentChannel& channel);

// The parent's side: one child serves many libraries; after a crash, an early
// end or a missed deadline the next library gets a new child.
class IsolatedValidator {
 public:
  IsolatedValidator(std::vector<std::string> arguments, std::uint32_t deadlineMs);
  ~IsolatedValidator();
  IsolatedValidator(const IsolatedValidator&) = delete;
  IsolatedValidator& operator=(const IsolatedValidator&) = delete;

  // The problems found are handed to `discovery`'s error handler, in order.
  LibraryValidation validate(const Tracking::PluginDiscovery& discovery, const Tracking::PluginManifest& manifest);

 private:
  const std::vector<std::string> arguments_;
  const std::chrono::milliseconds deadline_;
  std::unique_ptr<IsolatedChild> child_;
};

}  // namespace Orvel::Verifier
