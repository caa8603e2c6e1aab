#include "state/TrackedDeviceData.h"

#include <algorithm>
#include <limits>
#include <string>
#include <tuple>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "logging/Log.h"

namespace Orvel {

namespace {

using Device = TrackedDeviceData::TrackedDevice;
using Json = nlohmann::json;

std::string connectionStatusToString(TrackedDeviceData::ConnectionStatus status) {
  switch (status) {
    case TrackedDeviceData::ConnectionStatus::Disconnected:
      return "Disconnected";
    case TrackedDeviceData::ConnectionStatus::ConnectedTracking:
      return "ConnectedTracking";
    case TrackedDeviceData::ConnectionStatus::NotTracking:
      return "NotTracking";
    case TrackedDeviceData::ConnectionStatus::Restarting:
      return "Restarting";
    case TrackedDeviceData::ConnectionStatus::Starting:
      return "Starting";
  }
  LOG_ERROR("Unrecognized TrackedDeviceData::ConnectionStatus %d", static_cast<int>(status));
  return "Disconnected";
}

// A 32-bit integer member: a JSON number. The library would also convert a
// boolean; that is refused with the library's own type error, as any other
// type is. A number with a fraction is truncated toward zero, as the library
// converts it; a number outside the 32-bit range is refused, since converting
// it would give a wrong value (or, with a fraction, be undefined behaviour).
std::int32_t readInt32(const Json& json, const char* member) {
  using Limits = std::numeric_limits<std::int32_t>;
  const Json& value = json.at(member);
  if (!value.is_number()) {
    throw Json::type_error::create(302, std::string("type must be number, but is ") + value.type_name(), &value);
  }
  bool fits = true;
  if (value.is_number_float()) {
    const double number = value.get<double>();
    fits = number > Limits::min() - 1.0 && number < Limits::max() + 1.0;
  } else if (value.is_number_unsigned()) {
    fits = value.get<std::uint64_t>() <= static_cast<std::uint64_t>(Limits::max());
  } else if (value.is_number_integer()) {
    const std::int64_t number = value.get<std::int64_t>();
    fits = number >= Limits::min() && number <= Limits::max();
  }
  if (!fits) {
    throw Json::out_of_range::create(
        406, fmt::format("member '{}' holds {}, outside the range of a 32-bit integer", member, value.dump()), &value);
  }
  return value.get<std::int32_t>();
}

// Every member but "pluggedIn" must be present with a fitting type; the
// library's conversions throw otherwise. Only the battery level takes a
// boolean in place of a number (read as 0 or 1).
void readDevice(const Json& json, Device& device) {
  device.index = readInt32(json, "index");
  device.role = readInt32(json, "role");
  device.hasBatteryLevel = json.at("hasBatteryLevel").get<bool>();
  device.batteryLevel = json.at("batteryLevel").get<float>();
  device.connectionStatus = static_cast<TrackedDeviceData::ConnectionStatus>(readInt32(json, "connectionStatus"));
  device.activated = json.at("activated").get<bool>();
  device.charging = json.at("charging").get<bool>();
  device.id = json.at("id").get<std::string>();
  device.name = json.at("name").get<std::string>();
  device.channel = json.at("channel").get<std::string>();
  device.trackingSystemName = json.at("trackingSystemName").get<std::string>();
  // May be absent; when present it is a boolean (null is a wrong type, not absence).
  const auto pluggedIn = json.find("pluggedIn");
  if (pluggedIn != json.end()) device.pluggedIn = pluggedIn->get<bool>();
}

void readDevices(const Json& json, const char* member, std::vector<Device>& devices) {
  for (const Json& item : json.at(member).get_ref<const Json::array_t&>()) {
    devices.emplace_back();
    readDevice(item, devices.back());
  }
}

std::string inQuotes(const std::string& text) { return "'" + text + "'"; }
std::string boolText(bool value) { return value ? "true" : "false"; }
std::string optionalText(const std::optional<bool>& value) { return value ? boolText(*value) : "none"; }

// "(member: old -> new, ...)" for the fields that differ, or "" when none do.
std::string describeFieldChanges(const Device& before, const Device& after) {
  std::vector<std::string> changes;
  const auto add = [&changes](const char* member, const std::string& oldText, const std::string& newText) {
    if (oldText != newText) changes.push_back(fmt::format("{}: {} -> {}", member, oldText, newText));
  };
  add("index", std::to_string(before.index), std::to_string(after.index));
  add("role", std::to_string(before.role), std::to_string(after.role));
  add("hasBatteryLevel", boolText(before.hasBatteryLevel), boolText(after.hasBatteryLevel));
  add("batteryLevel", fmt::format("{}", before.batteryLevel), fmt::format("{}", after.batteryLevel));
  if (before.connectionStatus != after.connectionStatus) {
    add("connectionStatus", connectionStatusToString(before.connectionStatus),
        connectionStatusToString(after.connectionStatus));
  }
  add("activated", boolText(before.activated), boolText(after.activated));
  add("charging", boolText(before.charging), boolText(after.charging));
  add("id", inQuotes(before.id), inQuotes(after.id));
  add("name", inQuotes(before.name), inQuotes(after.name));
  add("channel", inQuotes(before.channel), inQuotes(after.channel));
  add("trackingSystemName", inQuotes(before.trackingSystemName), inQuotes(after.trackingSystemName));
  add("pluggedIn", optionalText(before.pluggedIn), optionalText(after.pluggedIn));
  if (changes.empty()) return {};
  std::string text = "(";
  for (std::size_t i = 0; i < changes.size(); ++i) text += (i == 0 ? "" : ", ") + changes[i];
  return text + ")";
}

std::string join(const std::vector<std::string>& parts) {
  std::string text;
  for (const std::string& part : parts) {
    if (part.empty()) continue;
    if (!text.empty()) text += ", ";
    text += part;
  }
  return text;
}

// Devices are identified by id: both lists are sorted, then walked together.
std::string describeCategory(const char* category, std::vector<Device> before, std::vector<Device> after) {
  const auto byId = [](const Device& a, const Device& b) { return std::tie(a.id, a.index) < std::tie(b.id, b.index); };
  std::sort(before.begin(), before.end(), byId);
  std::sort(after.begin(), after.end(), byId);
  std::vector<std::string> changed;
  std::vector<std::string> added;
  std::vector<std::string> removed;
  auto oldIt = before.begin();
  auto newIt = after.begin();
  while (oldIt != before.end() || newIt != after.end()) {
    if (newIt == after.end() || (oldIt != before.end() && oldIt->id < newIt->id)) {
      removed.push_back(fmt::format("Removed {} {}", category, inQuotes(oldIt->id)));
      ++oldIt;
    } else if (oldIt == before.end() || newIt->id < oldIt->id) {
      added.push_back(fmt::format("New {} {}", category, inQuotes(newIt->id)));
      ++newIt;
    } else {
      const std::string fields = describeFieldChanges(*oldIt, *newIt);
      if (!fields.empty()) changed.push_back(fmt::format("Changed {} {} {}", category, inQuotes(newIt->id), fields));
      ++oldIt;
      ++newIt;
    }
  }
  return join({join(changed), join(added), join(removed)});
}

}  // namespace

bool TrackedDeviceData::TrackedDevice::operator==(const TrackedDevice& other) const {
  return std::tie(index, role, hasBatteryLevel, batteryLevel, connectionStatus, activated, charging, id, name, channel,
                  trackingSystemName, pluggedIn) ==
         std::tie(other.index, other.role, other.hasBatteryLevel, other.batteryLevel, other.connectionStatus,
                  other.activated, other.charging, other.id, other.name, other.channel, other.trackingSystemName,
                  other.pluggedIn);
}

std::string describeTrackedDeviceDataChange(const std::string& oldValue, const std::string& newValue) {
  TrackedDeviceData before;
  TrackedDeviceData after;
  strutil::TryParse<TrackedDeviceData>{}(oldValue, before);
  strutil::TryParse<TrackedDeviceData>{}(newValue, after);
  return describeTrackedDeviceDataChange(before, after);
}

std::string describeTrackedDeviceDataChange(const TrackedDeviceData& before, const TrackedDeviceData& after) {
  std::string text;
  const std::string headset = describeFieldChanges(before.headset, after.headset);
  if (!headset.empty()) text = "Headset: " + headset;
  // The headset part runs straight into the first category text.
  text += join({describeCategory("Base", before.bases, after.bases),
                describeCategory("Controller", before.controllers, after.controllers),
                describeCategory("Tracker", before.trackers, after.trackers)});
  return text;
}

}  // namespace Orvel

namespace strutil {

bool TryParse<Orvel::TrackedDeviceData>::operator()(const std::string& text, Orvel::TrackedDeviceData& out) const {
  out = Orvel::TrackedDeviceData{};
  if (text.empty()) return true;
  try {
    const Orvel::Json json = Orvel::Json::parse(text);
    Orvel::readDevice(json.at("headset"), out.headset);
    Orvel::readDevices(json, "bases", out.bases);
    Orvel::readDevices(json, "controllers", out.controllers);
    Orvel::readDevices(json, "trackers", out.trackers);
    return true;
  } catch (const nlohmann::json::exception& error) {
    LOG_ERROR("Failed to parse tracked device data: %s", error.what());
    return false;
  }
}

}  // namespace strutil
