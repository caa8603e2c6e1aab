#include "property/PropertyCatalogue.h"

#include <string_view>
#include <utility>

#include "property/PropertyKeys.h"
#include "state/HeadsetInformation.h"
#include "state/TrackedDeviceData.h"
#include "state/VstColorGradingEffectConfig.h"

// Named by the executable's link options so that the linker keeps this file,
// and with it every registration, even while no code of the executable calls
// into the catalogue. Its value means nothing.
extern "C" {
extern const int orvelPropertyCatalogueAnchor;
const int orvelPropertyCatalogueAnchor = 0;
}

namespace Orvel::State {

namespace {

// Made on first use and kept until the process ends, never destroyed: the
// process's memory goes back to the system at once, while destroying the
// catalogue at exit would free its thousands of blocks one by one (a fifth
// of a short run's start and end). The key constants that refer to its keys
// then stay valid for every thread, to the end.
PropertyCatalogue& catalogue() {
  static PropertyCatalogue& definitions = *[] {
    auto* empty = new PropertyCatalogue;
    empty->reserve(512);  // room for every row without rehashing
    return empty;
  }();
  return definitions;
}

// Inserts a definition unless its key is known; the first definition stays.
// Returns the key as the catalogue holds it.
const std::string& insertDefinition(std::string key, std::vector<ClientRole> writers, std::string_view type,
                                    std::string_view defaultValue, bool persistent, std::uint64_t version,
                                    bool loggable, Messages::ChangeFormatter changeFormatter) {
  const auto [entry, inserted] = catalogue().try_emplace(std::move(key));
  if (!inserted) return entry->first;
  Messages::PropertyDefinition& definition = entry->second;
  definition.writers = std::move(writers);
  definition.key = entry->first;
  definition.type = type;
  definition.defaultValue = defaultValue;
  definition.version = version;
  definition.persistent = persistent;
  definition.loggable = loggable;
  definition.changeFormatter = std::move(changeFormatter);
  return entry->first;
}

// A row's writers, held by value so that a row's registration needs no
// temporary vector.
struct WriterList {
  ClientRole roles[5];
  std::size_t count;
};

template <typename... Roles>
constexpr WriterList writerList(Roles... roles) {
  static_assert(sizeof...(Roles) <= 5, "a row admits at most five writers");
  return WriterList{{roles...}, sizeof...(Roles)};
}

// One row of the table, all plain values: each of the 439 registrations that
// run before main() is then a short call, not an inlined construction of
// strings and vectors.
struct Row {
  std::string_view key;
  std::string_view type;
  std::string_view defaultValue;
  WriterList writers;
  bool persistent;
  std::uint64_t version;
  bool loggable;
  std::string (*formatter)(const std::string&, const std::string&) = nullptr;
};

// Returns the key as the catalogue holds it: the table's key constants refer
// to it, so they need neither a copy nor a destructor of their own each.
const std::string& registerRow(const Row& row) {
  return insertDefinition(
      std::string(row.key), std::vector<ClientRole>(row.writers.roles, row.writers.roles + row.writers.count), row.type,
      row.defaultValue, row.persistent, row.version, row.loggable,
      row.formatter != nullptr ? Messages::ChangeFormatter(row.formatter) : Messages::ChangeFormatter());
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
  insertDefinition(key, std::move(writers), type, defaultValue, persistent, version, loggable,
                   std::move(changeFormatter));
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

#define W(...) writerList(__VA_ARGS__)
#define ORVEL_PROPERTY(constant, key, type, defaultValue, writers, persistent, version, loggable) \
  const std::string& constant = registerRow(Row{key, type, defaultValue, writers, persistent, version, loggable});
#define ORVEL_PROPERTY_WITH_FORMATTER(constant, key, type, defaultValue, writers, persistent, version, loggable, \
                                      formatter)                                                             \
  const std::string& constant =                                                                              \
      registerRow(Row{key, type, defaultValue, writers, persistent, version, loggable, formatter});
#include "property/PropertyTable.inc"
#undef ORVEL_PROPERTY
#undef ORVEL_PROPERTY_WITH_FORMATTER
#undef W

}  // namespace PropertyKeys

}  // namespace Orvel::State
