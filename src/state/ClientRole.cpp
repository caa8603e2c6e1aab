#include "state/ClientRole.h"

#include <array>

#include "logging/Log.h"

namespace Orvel::State {

namespace {

constexpr std::array<const char*, 22> kRoleNames = {
    "ALL",           "HMD_SERVER",    "COMPOSITOR",   "TRACKING",          "PROCESS_SERVER", "BASE",
    "HOME",          "PROPERTY_UTIL", "PROPERTY_SERVER", "OPENVR_DRIVER",  "UNITY_PLUGIN",   "GAZE_TRACKING",
    "HAND_TRACKING", "OFFLINE_TOOL",  "OPENXR",       "IPC_FILE_RECORDER", "RUNTIME",        "APPLICATION",
    "HAL_DAEMON",    "CONTROLLER_TRACKING", "SLAM_TRACKING", "UNKNOWN",
};

}  // namespace

std::string clientRoleToString(ClientRole role) {
  const auto index = static_cast<std::uint32_t>(role);
  if (index < kRoleNames.size()) return kRoleNames[index];
  VERIFY(false, "Unidentified client");
  return "unidentified";
}

}  // namespace Orvel::State
