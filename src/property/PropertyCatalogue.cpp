#include "property/PropertyCatalogue.h"

#include <utility>

#include "property/PropertyKeys.h"
#include "state/HeadsetInformation.h"
#include "state/TrackedDeviceData.h"
#include "state/VstColorGradingEffectConfig.h"

// Named by the executable's link options so that the linker keeps this file,
// and with it every registration, even while no code of the executable calls
// into the catalogue.
extern "C" {
extern const int orvelPropertyCatalogueAnchor;
const int orvelPropertyCatalogueAnchor = 439;
}

namespace Orvel::State {

namespace {

PropertyCatalogue& catalogue() {
  static PropertyCatalogue definitions;
  return definitions;
}

}  // namespace

std::string registerPropertyDefinition(std::vector<ClientRole> writers, std::string key, std::string type,
                                       std::string defaultValue, bool persistent, std::uint64_t version,
                                       bool loggable) {
  return registerPropertyDefinition(std::move(writers), std::move(key), std::move(type), std::move(defaultValue),
                                    persistent, version, loggable, Messages::ChangeFormatter());
}

std::string registerPropertyDefinition(std::vector<ClientRole> writers, std::string key, std::string type,
                                       std::string defaultValue, bool persistent, std::uint64_t version,
                                       bool loggable, Messages::ChangeFormatter changeFormatter) {
  Messages::PropertyDefinition definition;
  definition.writers = std::move(writers);
  definition.key = key;
  definition.type = std::move(type);
  definition.defaultValue = std::move(defaultValue);
  definition.version = version;
  definition.persistent = persistent;
  definition.loggable = loggable;
  definition.changeFormatter = std::move(changeFormatter);
  catalogue().emplace(key, std::move(definition));  // a repeated key keeps its first definition
  return key;
}

const PropertyCatalogue& getPropertyDefinitions() { return catalogue(); }

namespace PropertyKeys {

namespace {

// The role names the table's writer lists use.
constexpr ClientRole ALL = ClientRole::ALL;
constexpr ClientRole HMD_SERVER = ClientRole::HMD_SERVER;
constexpr ClientRole COMPOSITOR = ClientRole::COMPOSITOR;
constexpr ClientRole TRACKING = ClientRole::TRACKING;
constexpr ClientRole PROCESS_SERVER = ClientRole::PROCESS_SERVER;
constexpr ClientRole BASE = ClientRole::BASE;
constexpr ClientRole HOME = ClientRole::HOME;
constexpr ClientRole PROPERTY_UTIL = ClientRole::PROPERTY_UTIL;
constexpr ClientRole OPENVR_DRIVER = ClientRole::OPENVR_DRIVER;
constexpr ClientRole UNITY_PLUGIN = ClientRole::UNITY_PLUGIN;
constexpr ClientRole GAZE_TRACKING = ClientRole::GAZE_TRACKING;
constexpr ClientRole HAND_TRACKING = ClientRole::HAND_TRACKING;
constexpr ClientRole IPC_FILE_RECORDER = ClientRole::IPC_FILE_RECORDER;
constexpr ClientRole RUNTIME = ClientRole::RUNTIME;
constexpr ClientRole APPLICATION = ClientRole::APPLICATION;
constexpr ClientRole HAL_DAEMON = ClientRole::HAL_DAEMON;
constexpr ClientRole CONTROLLER_TRACKING = ClientRole::CONTROLLER_TRACKING;
constexpr ClientRole SLAM_TRACKING = ClientRole::SLAM_TRACKING;

}  // namespace

#define W(...) std::vector<ClientRole>{__VA_ARGS__}
#define ORVEL_PROPERTY(constant, key, type, defaultValue, writers, persistent, version, loggable) \
  const std::string constant = registerPropertyDefinition(writers, key, type, defaultValue, persistent, version, loggable);
#define ORVEL_PROPERTY_WITH_FORMATTER(constant, key, type, defaultValue, writers, persistent, version, loggable, \
                                      formatter)                                                             \
  const std::string constant =                                                                               \
      registerPropertyDefinition(writers, key, type, defaultValue, persistent, version, loggable, formatter);
#include "property/PropertyTable.inc"
#undef ORVEL_PROPERTY
#undef ORVEL_PROPERTY_WITH_FORMATTER
#undef W

}  // namespace PropertyKeys

}  // namespace Orvel::State
