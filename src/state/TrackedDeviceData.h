// The tracked-device list: value of the property "trackedDeviceData", whose
// text is JSON.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "logging/TryParse.h"

namespace Orvel {

struct TrackedDeviceData {
  enum class ConnectionStatus : std::int32_t {
    Disconnected = 0,
    ConnectedTracking = 1,
    NotTracking = 2,
    Restarting = 3,
    Starting = 4,
  };

  struct TrackedDevice {
    std::int32_t index = 0;
    std::int32_t role = 0;
    bool hasBatteryLevel = false;
    float batteryLevel = 0.0f;
    ConnectionStatus connectionStatus = ConnectionStatus::Disconnected;
    bool activated = false;
    bool charging = false;
    std::string id;
    std::string name;
    std::string channel;
    std::string trackingSystemName;
    std::optional<bool> pluggedIn;

    bool operator==(const TrackedDevice& other) const;
    bool operator!=(const TrackedDevice& other) const { return !(*this == other); }
  };

  TrackedDevice headset;
  std::vector<TrackedDevice> bases;
  std::vector<TrackedDevice> controllers;
  std::vector<TrackedDevice> trackers;
};

// A text describing what changed between two "trackedDeviceData" texts, for
// the property's change log: the headset's changed fields after "Headset: ",
// then per category ("Base", "Controller", "Tracker") the changed, new and
// removed devices. A connection status is shown by its name ("Starting"); an
// unknown number is logged and shown as "Disconnected".
std::string describeTrackedDeviceDataChange(const std::string& oldValue, const std::string& newValue);
// The same for two lists already read (each text reads as its TryParse
// leaves it, also when the text fails part of the way).
std::string describeTrackedDeviceDataChange(const TrackedDeviceData& before, const TrackedDeviceData& after);

}  // namespace Orvel

namespace strutil {

// Reads the JSON text; the empty text is the default value. On failure logs
// "Failed to parse tracked device data: <reason>" and returns false; `out`
// then holds defaults overwritten by the members read before the failure.
template <>
struct TryParse<Orvel::TrackedDeviceData> {
  bool operator()(const std::string& text, Orvel::TrackedDeviceData& out) const;
};

}  // namespace strutil
