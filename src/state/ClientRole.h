// The kind of process at each end of the property protocol. The numbers are
// fixed by the protocol: the server and every client must agree on them.
#pragma once
#include <cstdint>
#include <string>

namespace Orvel::State {

enum class ClientRole : std::uint32_t {
  ALL = 0,  // in a writer list: every client may write
  HMD_SERVER = 1,
  COMPOSITOR = 2,
  TRACKING = 3,
  PROCESS_SERVER = 4,
  BASE = 5,
  HOME = 6,
  PROPERTY_UTIL = 7,
  PROPERTY_SERVER = 8,
  OPENVR_DRIVER = 9,
  UNITY_PLUGIN = 10,
  GAZE_TRACKING = 11,
  HAND_TRACKING = 12,
  OFFLINE_TOOL = 13,
  OPENXR = 14,
  IPC_FILE_RECORDER = 15,
  RUNTIME = 16,
  APPLICATION = 17,
  HAL_DAEMON = 18,
  CONTROLLER_TRACKING = 19,
  SLAM_TRACKING = 20,
  UNKNOWN = 21,
};

// The role's name ("TRACKING"). A number outside 0..21 (a decoded role is not
// validated) fails a VERIFY and gives "unidentified".
std::string clientRoleToString(ClientRole role);

}  // namespace Orvel::State
