#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "property/PropertyCatalogue.h"
#include "property/PropertyKeys.h"
#include "state/HeadsetInformation.h"
#include "state/TrackedDeviceData.h"
#include "state/VstColorGradingEffectConfig.h"

using namespace Orvel::State;

namespace {

const PropertyCatalogue& catalogue() { return getPropertyDefinitions(); }

TEST(PropertyCatalogue, HoldsEveryDefinition) {
  // The one place that states the catalogue's size; every other test takes it
  // from the catalogue.
  EXPECT_EQ(catalogue().size(), 439u);
  for (const auto& [key, definition] : catalogue()) EXPECT_EQ(definition.key, key);
}

// The map is made from the table on first use: both must say the same of
// every row.
TEST(PropertyCatalogue, TableAndMapAgree) {
  const CatalogueTable& table = catalogueTable();
  ASSERT_EQ(table.size, catalogue().size());
  for (std::size_t i = 0; i < table.size; ++i) {
    const CatalogueRow& row = table.rows[i];
    const std::string_view key = row.key.view();
    const auto entry = catalogue().find(std::string(key));
    ASSERT_NE(entry, catalogue().end()) << key;
    const Messages::PropertyDefinition& definition = entry->second;
    EXPECT_EQ(definition.type, row.type.view()) << key;
    EXPECT_EQ(definition.defaultValue, row.defaultValue()) << key;
    EXPECT_EQ(definition.writers,
              std::vector<ClientRole>(row.writers.roles, row.writers.roles + row.writers.count))
        << key;
    EXPECT_EQ(definition.persistent, row.persistent) << key;
    EXPECT_EQ(definition.version, row.version) << key;
    EXPECT_EQ(definition.loggable, row.loggable) << key;
    EXPECT_EQ(static_cast<bool>(definition.changeFormatter), row.formatter != 0) << key;
  }
  EXPECT_TRUE(catalogueIsItsTable());
}

// A row's texts know their lengths from the room they leave: each must read
// as its null-terminated text does, whether it leaves room or fills it.
TEST(PropertyCatalogue, RowTextsReadAsTheirNullTerminatedTexts) {
  struct Case {
    const char* form;
    CatalogueText<8> text;
    std::string_view expected;
  };
  const Case cases[] = {
      {"empty", catalogueText<8>(""), ""},
      {"shorter than the room", catalogueText<8>("abc"), "abc"},
      {"one short of the room", catalogueText<8>("abcdef"), "abcdef"},
      {"filling the room", catalogueText<8>("abcdefg"), "abcdefg"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.text.view(), c.expected) << c.form;
    EXPECT_EQ(c.text.view(), std::string_view(c.text.text)) << c.form << ": ends with a null character";
  }
  const CatalogueTable& table = catalogueTable();
  for (std::size_t i = 0; i < table.size; ++i) {
    const CatalogueRow& row = table.rows[i];
    EXPECT_EQ(row.key.view(), std::string_view(row.key.text)) << i;
    EXPECT_EQ(row.type.view(), std::string_view(row.type.text)) << row.key.text;
    if (row.defaultMaker == 0) {
      EXPECT_EQ(row.defaultValue(), std::string_view(row.defaultText.text)) << row.key.text;
    }
  }
}

TEST(PropertyCatalogue, KeysPerPrefix) {
  const std::map<std::string, std::size_t> expected = {
      {"Account", 14},  {"Audio", 1},      {"Base", 7},          {"ClockSynchronizationService", 1},
      {"Compositor", 90}, {"Controller", 1}, {"haldaemon", 1},    {"Home", 1},
      {"LabTool", 2},   {"Masking", 1},    {"OpenVR", 4},        {"OpenXR", 3},
      {"OrvelBase", 2}, {"OrvelCompositor", 4}, {"OrvelControllerTracking", 3}, {"OrvelGazeTracking", 1},
      {"OrvelHALDaemon", 3}, {"OrvelHandTracking", 18}, {"OrvelHMDService", 1}, {"OrvelHome", 26},
      {"OrvelInsideOutTracking", 1}, {"OrvelOnlineCalibration", 1}, {"OrvelProcessServer", 1},
      {"OrvelRuntime", 1}, {"OrvelTracking", 36}, {"ProcessServer", 1}, {"runlevel", 11},
      {"Sensing", 1},   {"TemperatureService", 13}, {"Tracking", 8}, {"", 181}};
  std::map<std::string, std::size_t> counted;
  for (const auto& entry : catalogue()) {
    const auto point = entry.first.find('.');
    ++counted[point == std::string::npos ? "" : entry.first.substr(0, point)];
  }
  EXPECT_EQ(counted, expected);
}

TEST(PropertyCatalogue, CountsOverTheRows) {
  std::map<std::string, std::size_t> perType;
  std::size_t persistent = 0;
  std::size_t notLoggable = 0;
  std::size_t otherVersion = 0;
  std::size_t formatters = 0;
  for (const auto& [key, definition] : catalogue()) {
    ++perType[definition.type];
    persistent += definition.persistent ? 1 : 0;
    notLoggable += definition.loggable ? 0 : 1;
    if (definition.version != 1) {
      ++otherVersion;
      const std::set<std::uint64_t> allowed = {2, 3, 5, 6, 13};
      EXPECT_EQ(allowed.count(definition.version), 1u) << key << " version " << definition.version;
    }
    formatters += definition.changeFormatter ? 1 : 0;
  }
  EXPECT_EQ(perType.size(), 115u) << "distinct type names";
  const std::map<std::string, std::size_t> listed = {
      {"bool", 156},    {"std::string", 61}, {"double", 33},  {"int", 19},
      {"Temperature::Value", 13}, {"float", 11}, {"std::filesystem::path", 10}, {"std::vector<std::string>", 7},
      {"uint32_t", 7},  {"uint64_t", 5},     {"int64_t", 2}};
  for (const auto& [type, count] : listed) EXPECT_EQ(perType[type], count) << type;
  std::size_t optionalTypes = 0;
  for (const auto& [type, count] : perType) optionalTypes += type.rfind("std::optional<", 0) == 0 ? 1 : 0;
  for (const char* type : {"std::optional<bool>", "std::optional<float>", "std::optional<uint32_t>",
                           "std::optional<uint64_t>", "std::optional<uint8_t>"}) {
    EXPECT_GE(perType[type], 1u) << type;
  }
  EXPECT_EQ(perType.size() - listed.size() - optionalTypes, 93u) << "structured and enumerated types";
  EXPECT_EQ(persistent, 136u);
  EXPECT_EQ(notLoggable, 24u);
  EXPECT_EQ(otherVersion, 35u);
  EXPECT_EQ(formatters, 1u);
}

TEST(PropertyCatalogue, WriterLists) {
  const std::set<ClientRole> usable = {
      ClientRole::ALL,          ClientRole::HMD_SERVER,   ClientRole::COMPOSITOR,    ClientRole::TRACKING,
      ClientRole::PROCESS_SERVER, ClientRole::BASE,       ClientRole::HOME,          ClientRole::PROPERTY_UTIL,
      ClientRole::OPENVR_DRIVER, ClientRole::UNITY_PLUGIN, ClientRole::GAZE_TRACKING, ClientRole::HAND_TRACKING,
      ClientRole::IPC_FILE_RECORDER, ClientRole::RUNTIME, ClientRole::APPLICATION,  ClientRole::HAL_DAEMON,
      ClientRole::CONTROLLER_TRACKING, ClientRole::SLAM_TRACKING};
  std::set<std::string> withAll;
  std::set<std::string> empty;
  std::set<ClientRole> used;
  for (const auto& [key, definition] : catalogue()) {
    if (definition.writers.empty()) {
      empty.insert(key);
      continue;
    }
    EXPECT_LE(definition.writers.size(), 5u) << key;
    for (ClientRole role : definition.writers) {
      EXPECT_EQ(usable.count(role), 1u) << key << " " << clientRoleToString(role);
      used.insert(role);
      if (role == ClientRole::ALL) withAll.insert(key);
    }
  }
  EXPECT_EQ(empty, std::set<std::string>{"visualLog"});
  EXPECT_EQ(withAll, (std::set<std::string>{"CalibrationRequest", "Compositor.IgnoreDMErrors",
                                            "Tracking.CameraCalibrationGen3State"}));
  EXPECT_EQ(used, usable) << "every listed role writes somewhere";
}

TEST(PropertyCatalogue, TellingRows) {
  struct Row {
    std::string key;
    std::string type;
    std::string defaultValue;
    std::vector<int> writers;
    bool persistent;
    std::uint64_t version;
    bool loggable;
  };
  const std::vector<Row> rows = {
      {"OrvelTracking.ActivePlugin", "std::string", "5A7476A7-F0CE-4129-BBAE-48700B82B73E", {3, 5, 2}, true, 1, true},
      {"OrvelTracking.AvailablePlugins", "Orvel::Tracking::PluginDescriptorData", "", {3}, false, 1, true},
      {"OrvelTracking.PluginStatus", "Orvel::Tracking::TrackingPluginStatus", "", {3}, false, 1, true},
      {"OrvelTracking.ActiveMotionPlatformPlugin", "std::string", "", {3, 5}, true, 1, true},
      {"OrvelTracking.AvailableMotionPlatformPlugins", "Orvel::Tracking::PluginDescriptorData", "", {3}, false, 1, true},
      {"OrvelTracking.PluginConfigurations", "Orvel::Tracking::PluginConfigurationData", "", {3, 5}, true, 1, true},
      {"OrvelTracking.RestartPlugin", "std::string", "", {3}, false, 1, true},
      {"OrvelHandTracking.ActivePlugin", "std::string", "", {12, 5}, false, 1, true},
      {"OrvelHandTracking.AvailablePlugins", "int", "", {12}, false, 1, true},
      {"LowFrameRateDetected", "bool", "false", {11, 18}, false, 1, true},
      {"Account.Parameters", "std::string", "", {7}, false, 1, true},
      {"fakeGazeFocusDistance", "double", "2.0", {1, 11, 2, 17}, false, 1, true},
      {"Compositor.WaitSecondsBeforeDisplayRender", "int", "15", {5, 2}, true, 1, false},
      {"foveationGazeClientLatencyMs", "int64_t", "", {2, 7}, false, 1, true},
      {"Compositor.RenderingQualityPercentage", "float", "100.0", {5}, true, 2, true},
      {"gazeAnalogGain", "std::optional<float>", "", {11, 7}, false, 1, true},
      {"fakeGazeSetCalibrated", "std::optional<bool>", "false", {11, 17}, false, 1, true},
      {"fakeGazeVideo", "std::filesystem::path", "", {11, 17}, false, 1, true},
      {"Compositor.SpacewarpSupportedModes", "std::vector<std::string>", "DISABLED;ENABLED_BASIC", {2}, false, 2, true},
      {"OrvelHandTracking.numClientsForInteractions", "uint64_t", "0", {2}, false, 1, false},
      {"TemperatureService.IMUTemperature", "Temperature::Value", "", {18}, false, 1, true},
      {"trackedDeviceData", "Orvel::TrackedDeviceData", "", {3, 19, 2}, false, 1, true},
      {"Account.PersistentStorage", "std::string", "", {1}, true, 13, false},
      {"Account.RuntimeStorage", "std::string", "", {5, 1, 4}, false, 6, false},
      {"OnlineCalibrations", "Orvel::State::OnlineCalibration", "", {3, 20, 5}, true, 5, true},
      {"Compositor.RenderingQuality", "Orvel::State::RenderingQuality", "VeryHigh", {5, 2}, true, 3, true},
      {"Compositor.CustomResolutionStereo", "Orvel::State::CustomResolution", "[0,0]", {2}, true, 2, true},
      {"visualLog", "std::string", "", {}, false, 1, true},
      {"CalibrationRequest", "Orvel::State::CalibrationRequest", "", {0}, false, 1, true},
      {"runlevel", "Orvel::State::CurrentRunlevel", "", {4}, false, 1, true},
      {"UITheme", "Orvel::State::UiDisplayTheme", "DARK", {5}, true, 2, true},
      {"sendDumpsAutomatically", "bool", "false", {5}, true, 1, true},
  };
  for (const Row& row : rows) {
    const auto found = catalogue().find(row.key);
    ASSERT_NE(found, catalogue().end()) << row.key;
    const Messages::PropertyDefinition& definition = found->second;
    std::vector<int> writers;
    for (ClientRole role : definition.writers) writers.push_back(static_cast<int>(role));
    EXPECT_EQ(definition.type, row.type) << row.key;
    EXPECT_EQ(definition.defaultValue, row.defaultValue) << row.key;
    EXPECT_EQ(writers, row.writers) << row.key;
    EXPECT_EQ(definition.persistent, row.persistent) << row.key;
    EXPECT_EQ(definition.version, row.version) << row.key;
    EXPECT_EQ(definition.loggable, row.loggable) << row.key;
  }
}

TEST(PropertyCatalogue, ComputedDefaultsAndTheOneFormatter) {
  EXPECT_EQ(catalogue().at("lastConnectedHeadsetInformation").type, "Orvel::State::HeadsetInformation");
  EXPECT_EQ(catalogue().at("lastConnectedHeadsetInformation").defaultValue, defaultHeadsetInformationText());
  EXPECT_EQ(catalogue().at("Compositor.VSTColorGradingEffect").type, "Orvel::State::VstColorGradingEffectConfig");
  EXPECT_EQ(catalogue().at("Compositor.VSTColorGradingEffect").defaultValue, defaultVstColorGradingEffectText());
  for (const char* key : {"Compositor.CustomResolutionQuad", "Compositor.CustomResolutionFoveation"}) {
    EXPECT_EQ(catalogue().at(key).type, "Orvel::State::CustomResolution");
    EXPECT_EQ(catalogue().at(key).defaultValue, "[0,0,0,0]");
  }

  const auto& formatter = catalogue().at("trackedDeviceData").changeFormatter;
  ASSERT_TRUE(formatter);
  const std::string device =
      R"({"index":0,"role":0,"hasBatteryLevel":false,"batteryLevel":0,"connectionStatus":0,"activated":false,)"
      R"("charging":false,"id":"T1","name":"","channel":"","trackingSystemName":""})";
  const std::string before = R"({"headset":)" + device + R"(,"bases":[],"controllers":[],"trackers":[]})";
  const std::string after = R"({"headset":)" + device + R"(,"bases":[],"controllers":[],"trackers":[)" + device + "]}";
  EXPECT_EQ(formatter(before, after), "New Tracker 'T1'");
}

TEST(PropertyCatalogue, DefaultTextsFollowTheType) {
  for (const auto& [key, definition] : catalogue()) {
    const std::string& text = definition.defaultValue;
    if (definition.type == "bool") {
      EXPECT_TRUE(text == "true" || text == "false") << key << ": '" << text << "'";
    } else if (!text.empty() && (definition.type == "int" || definition.type == "double" ||
                                 definition.type == "float" || definition.type == "uint32_t" ||
                                 definition.type == "uint64_t" || definition.type == "int64_t")) {
      char* end = nullptr;
      std::strtod(text.c_str(), &end);
      EXPECT_EQ(*end, '\0') << key << ": '" << text << "' is not a number";
    }
  }
}

TEST(PropertyCatalogue, KeyConstantsHoldTheirKeys) {
  EXPECT_EQ(PropertyKeys::OrvelTracking_ActivePlugin, "OrvelTracking.ActivePlugin");
  EXPECT_EQ(PropertyKeys::runlevel_base_started, "runlevel.base.started");
  EXPECT_EQ(PropertyKeys::visualLog, "visualLog");
  std::size_t constants = 0;
#define ORVEL_PROPERTY(constant, key, ...) \
  EXPECT_EQ(PropertyKeys::constant, key);  \
  ++constants;
#define ORVEL_PROPERTY_WITH_FORMATTER ORVEL_PROPERTY
#include "property/PropertyTable.inc"
#undef ORVEL_PROPERTY
#undef ORVEL_PROPERTY_WITH_FORMATTER
  EXPECT_EQ(constants, catalogue().size());
}

TEST(PropertyCatalogue, RegisteringAKeyAgainKeepsTheFirstDefinition) {
  const auto before = catalogue().at("visualLog");
  const std::size_t rows = catalogue().size();
  EXPECT_EQ(registerPropertyDefinition({ClientRole::TRACKING}, "visualLog", "int", "7", true, 9, false), "visualLog");
  const auto& after = catalogue().at("visualLog");
  EXPECT_EQ(after.type, before.type);
  EXPECT_EQ(after.defaultValue, before.defaultValue);
  EXPECT_TRUE(after.writers.empty());
  EXPECT_EQ(after.version, before.version);
  EXPECT_EQ(catalogue().size(), rows);
}

// Set mode builds its properties from the table: its texts must be in the
// executable.
TEST(PropertyCatalogue, VerifierExecutableCarriesTheCatalogue) {
  std::ifstream file(ORVEL_VERIFIER_EXECUTABLE, std::ios::binary);
  ASSERT_TRUE(file) << ORVEL_VERIFIER_EXECUTABLE;
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  for (const char* text : {"TemperatureService.TOFSensorTemperature", "Orvel::State::VstColorGradingEffectConfig",
                           "5A7476A7-F0CE-4129-BBAE-48700B82B73E"}) {
    EXPECT_NE(bytes.find(text), std::string::npos) << text;
  }
}

}  // namespace
