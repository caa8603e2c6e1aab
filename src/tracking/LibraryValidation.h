// Which kind of plugin a manifest's library is and whether it is valid, as
// the listing asks.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "tracking/PluginDiscovery.h"
#include "tracking/PluginManifest.h"

namespace Orvel::Tracking {

struct LibraryValidation {
  enum class Kind { Neither, Tracking, MotionPlatform };
  Kind kind = Kind::Neither;
  bool valid = false;
  // Set when the library crashed, ended the process or missed the deadline
  // (isolated only): what happened, as its ERROR line says it.
  std::string failure;
  // The explanation of the library, when an isolated child was asked for it.
  std::vector<std::string> why;
};

// Kind detection, then the validation of that kind; the problems go to the
// discovery's error handler. `detected`, when given, is told the kind before
// the validation runs, so that a crash during the validation still finds it
// known.
LibraryValidation validateLibrary(const PluginDiscovery& discovery, const PluginManifest& manifest,
                                  const std::function<void(LibraryValidation::Kind)>& detected = {});
// The validation of a tracking plugin alone, whatever kind the library says
// it is (set mode's): its kind is Tracking, and `detected` is told so first.
LibraryValidation validateTrackingLibrary(const PluginDiscovery& discovery, const PluginManifest& manifest,
                                          const std::function<void(LibraryValidation::Kind)>& detected = {});

}  // namespace Orvel::Tracking
