#include "property/PropertyCatalogue.h"

#include <atomic>
#include <iterator>
#include <string_view>
#include <utility>

#include "state/HeadsetInformation.h"
#include "state/TrackedDeviceData.h"
#include "state/VstColorGradingEffectConfig.h"

namespace Orvel::State {

namespace {

// The functions a row names by number, from 1.
const std::string& (*const defaultMakers[])() = {defaultVstColorGradingEffectText, defaultHeadsetInformationText};
std::string (*const formatters[])(const std::string&, const std::string&) = {describeTrackedDeviceDataChange};

namespace Table {

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

template <typename... Roles>
constexpr CatalogueRow::Writers writerList(Roles... roles) {
  static_assert(sizeof...(Roles) <= 5, "a row admits at most five writers");
  return CatalogueRow::Writers{{roles...}, sizeof...(Roles)};
}

// In the rows, the names of the functions that make a structured value's
// default text and of the one change formatter stand for their numbers in
// defaultMakers and formatters.
struct Numbered {
  std::uint8_t number;
};
constexpr Numbered defaultVstColorGradingEffectText{1};
constexpr Numbered defaultHeadsetInformationText{2};
constexpr Numbered describeTrackedDeviceDataChange{1};

// The texts of a row, each checked to fit its room.
template <std::size_t M>
constexpr auto keyText(const char (&literal)[M]) {
  return catalogueText<sizeof(CatalogueRow::key)>(literal);
}
template <std::size_t M>
constexpr auto typeText(const char (&literal)[M]) {
  return catalogueText<sizeof(CatalogueRow::type)>(literal);
}
// A row's default: a literal, or the function that makes the text.
template <std::size_t M>
constexpr auto defaultTextOf(const char (&literal)[M]) {
  return catalogueText<sizeof(CatalogueRow::defaultText)>(literal);
}
constexpr CatalogueText<sizeof(CatalogueRow::defaultText)> defaultTextOf(Numbered) { return defaultTextOf(""); }
template <std::size_t M>
constexpr std::uint8_t defaultMakerOf(const char (&)[M]) {
  return 0;
}
constexpr std::uint8_t defaultMakerOf(Numbered maker) { return maker.number; }

#define W(...) writerList(__VA_ARGS__)
#define ORVEL_ROW(k, t, d, w, p, v, l, f) \
  CatalogueRow{keyText(k), typeText(t), defaultTextOf(d), defaultMakerOf(d), f, p, l, v, w},
#define ORVEL_PROPERTY(constant, key, type, defaultValue, writers, persistent, version, loggable) \
  ORVEL_ROW(key, type, defaultValue, writers, persistent, version, loggable, 0)
#define ORVEL_PROPERTY_WITH_FORMATTER(constant, key, type, defaultValue, writers, persistent, version, loggable, \
                                      formatter)                                                             \
  ORVEL_ROW(key, type, defaultValue, writers, persistent, version, loggable, formatter.number)
constexpr CatalogueRow rows[] = {
#include "property/PropertyTable.inc"
};
#undef ORVEL_PROPERTY
#undef ORVEL_PROPERTY_WITH_FORMATTER
#undef ORVEL_ROW
#undef W

}  // namespace Table

// False once a registration has added a key the table does not have.
std::atomic<bool> onlyTheTable{true};

// Inserts a definition unless its key is known; the first definition stays.
// True when it was inserted.
bool insertDefinition(PropertyCatalogue& catalogue, std::string key, std::vector<ClientRole> writers,
                      std::string_view type, std::string_view defaultValue, bool persistent, std::uint64_t version,
                      bool loggable, Messages::ChangeFormatter changeFormatter) {
  const auto [entry, inserted] = catalogue.try_emplace(std::move(key));
  if (!inserted) return false;
  Messages::PropertyDefinition& definition = entry->second;
  definition.writers = std::move(writers);
  definition.key = entry->first;
  definition.type = type;
  definition.defaultValue = defaultValue;
  definition.version = version;
  definition.persistent = persistent;
  definition.loggable = loggable;
  definition.changeFormatter = std::move(changeFormatter);
  return true;
}

// Made from the table on first use and kept until the process ends, never
// destroyed: the process's memory goes back to the system at once, while
// destroying the catalogue at exit would free its thousands of blocks one by
// one.
PropertyCatalogue& catalogue() {
  static PropertyCatalogue& definitions = *[] {
    auto* made = new PropertyCatalogue;
    made->reserve(512);  // room for every row without rehashing
    const CatalogueTable& table = catalogueTable();
    for (std::size_t i = 0; i < table.size; ++i) {
      const CatalogueRow& row = table.rows[i];
      insertDefinition(*made, std::string(row.key.view()),
                       std::vector<ClientRole>(row.writers.roles, row.writers.roles + row.writers.count),
                       row.type.view(), row.defaultValue(), row.persistent, row.version, row.loggable,
                       row.changeFormatter());
    }
    return made;
  }();
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
  if (insertDefinition(catalogue(), key, std::move(writers), type, defaultValue, persistent, version, loggable,
                       std::move(changeFormatter))) {
    onlyTheTable = false;
  }
  return key;
}

const PropertyCatalogue& getPropertyDefinitions() { return catalogue(); }

std::string_view CatalogueRow::defaultValue() const {
  return defaultMaker == 0 ? defaultText.view() : std::string_view(defaultMakers[defaultMaker - 1]());
}

Messages::ChangeFormatter CatalogueRow::changeFormatter() const {
  return formatter == 0 ? Messages::ChangeFormatter() : Messages::ChangeFormatter(formatters[formatter - 1]);
}

const CatalogueTable& catalogueTable() {
  static constexpr CatalogueTable table{Table::rows, std::size(Table::rows)};
  return table;
}

bool catalogueIsItsTable() { return onlyTheTable; }

}  // namespace Orvel::State
