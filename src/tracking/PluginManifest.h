// An installed plugin's manifest, as read from its JSON file. All texts are
// UTF-8, exactly as written in the file.
#pragma once
#include <string>
#include <vector>

#include "tracking/ConfigurationOption.h"

namespace Orvel::Tracking {

struct PluginManifest {
  std::string ID;
  std::string vendorName;
  std::string productName;
  // The plugin library's path as written: not resolved against the manifest's
  // folder; environment-variable references are expanded only when it loads.
  std::string path;
  std::string icon;       // empty when absent
  std::string roomSetup;  // empty when absent
  std::vector<ConfigurationOption> configurationOptions;
};

}  // namespace Orvel::Tracking
