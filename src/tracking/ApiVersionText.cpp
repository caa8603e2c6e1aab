#include "tracking/ApiVersionText.h"

#include "OrvelPluginAPI.h"

namespace Orvel::Tracking {

std::string apiVersionText(std::uint64_t version) {
  return std::to_string(ORVEL_PLUGIN_API_VERSION_MAJOR(version)) + "." +
         std::to_string(ORVEL_PLUGIN_API_VERSION_MINOR(version)) + "." +
         std::to_string(ORVEL_PLUGIN_API_VERSION_THIRD(version)) + "." +
         std::to_string(ORVEL_PLUGIN_API_VERSION_FOURTH(version));
}

}  // namespace Orvel::Tracking
