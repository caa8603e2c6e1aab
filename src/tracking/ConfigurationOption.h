// One option that a plugin offers in its manifest.
#pragma once
#include <string>

namespace Orvel::Tracking {

// The manifest file names the members "id", "label", "defaultValue", "type";
// the record keeps type before defaultValue.
struct ConfigurationOption {
  std::string id;
  std::string label;
  std::string type;
  std::string defaultValue;
};

}  // namespace Orvel::Tracking
