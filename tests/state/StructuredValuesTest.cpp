#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "state/HeadsetInformation.h"
#include "state/TrackedDeviceData.h"
#include "state/VstColorGradingEffectConfig.h"
#include "support/LogCapture.h"

using Orvel::TrackedDeviceData;
using Json = nlohmann::json;

namespace {

// The logger drops template arguments from function names.
const std::string kParseFailure = " ERR [strutil::TryParse::operator ()] Failed to parse tracked device data: ";

Json device(const std::string& id, Json overrides = Json::object()) {
  Json json = {{"index", 1},           {"role", 2},       {"hasBatteryLevel", true}, {"batteryLevel", 0.5},
               {"connectionStatus", 1}, {"activated", true}, {"charging", false},     {"id", id},
               {"name", "Device " + id}, {"channel", "stable"}, {"trackingSystemName", "orvel"}};
  for (auto& [member, value] : overrides.items()) {
    if (value.is_null()) {
      json.erase(member);
    } else {
      json[member] = value;
    }
  }
  return json;
}

std::string devices(Json headset, Json bases = Json::array(), Json controllers = Json::array(),
                    Json trackers = Json::array()) {
  return Json{{"headset", headset}, {"bases", bases}, {"controllers", controllers}, {"trackers", trackers}}.dump();
}

bool parse(const std::string& text, TrackedDeviceData& out) { return strutil::TryParse<TrackedDeviceData>{}(text, out); }

TEST(TrackedDeviceData, EmptyTextIsTheDefaultWithoutALogLine) {
  Orvel::Test::LogCapture capture;
  TrackedDeviceData data;
  data.bases.resize(3);
  data.headset.id = "stale";
  EXPECT_TRUE(parse("", data));
  EXPECT_TRUE(data.bases.empty());
  EXPECT_EQ(data.headset, TrackedDeviceData::TrackedDevice{});
  EXPECT_TRUE(capture.lines().empty());
}

TEST(TrackedDeviceData, ReadsEveryMemberInArrayOrder) {
  Orvel::Test::LogCapture capture;
  TrackedDeviceData data;
  const std::string text = devices(device("HMD", {{"pluggedIn", true}, {"connectionStatus", 4}}),
                                   Json::array({device("B2", {{"index", 7}}), device("B1")}),
                                   Json::array({device("C1", {{"batteryLevel", true}, {"charging", true}})}),
                                   Json::array({device("T1", {{"trackingSystemName", "lighthouse"}})}));
  ASSERT_TRUE(parse(text, data));
  EXPECT_EQ(data.headset.id, "HMD");
  EXPECT_EQ(data.headset.index, 1);
  EXPECT_EQ(data.headset.role, 2);
  EXPECT_TRUE(data.headset.hasBatteryLevel);
  EXPECT_FLOAT_EQ(data.headset.batteryLevel, 0.5f);
  EXPECT_EQ(data.headset.connectionStatus, TrackedDeviceData::ConnectionStatus::Starting);
  EXPECT_TRUE(data.headset.activated);
  EXPECT_FALSE(data.headset.charging);
  EXPECT_EQ(data.headset.name, "Device HMD");
  EXPECT_EQ(data.headset.channel, "stable");
  EXPECT_EQ(data.headset.trackingSystemName, "orvel");
  EXPECT_EQ(data.headset.pluggedIn, std::optional<bool>(true));
  ASSERT_EQ(data.bases.size(), 2u);
  EXPECT_EQ(data.bases[0].id, "B2");
  EXPECT_EQ(data.bases[0].index, 7);
  EXPECT_EQ(data.bases[1].id, "B1");
  EXPECT_FALSE(data.bases[1].pluggedIn.has_value()) << "absent pluggedIn stays empty";
  ASSERT_EQ(data.controllers.size(), 1u);
  EXPECT_FLOAT_EQ(data.controllers[0].batteryLevel, 1.0f) << "a boolean battery level reads as 0 or 1";
  EXPECT_TRUE(data.controllers[0].charging);
  ASSERT_EQ(data.trackers.size(), 1u);
  EXPECT_EQ(data.trackers[0].trackingSystemName, "lighthouse");
  EXPECT_TRUE(capture.lines().empty());
}

TEST(TrackedDeviceData, FailuresLogOneLineWithTheLibrarysReason) {
  struct Case {
    std::string text;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {devices(device("H", {{"channel", nullptr}})), "[json.exception.out_of_range.403] key 'channel' not found"},
      {devices(device("H", {{"index", "one"}})), "[json.exception.type_error.302] type must be number, but is string"},
      {devices(device("H", {{"activated", 1}})), "[json.exception.type_error.302] type must be boolean, but is number"},
      {devices(device("H", {{"pluggedIn", "yes"}})),
       "[json.exception.type_error.302] type must be boolean, but is string"},
      {R"({"bases":[]})", "[json.exception.out_of_range.403] key 'headset' not found"},
      {"{\"headset\":", "[json.exception.parse_error.101] parse error at line 1, column 12: syntax error while "
                        "parsing value - unexpected end of input; expected '[', '{', or a literal"},
  };
  for (const Case& c : cases) {
    Orvel::Test::LogCapture capture;
    TrackedDeviceData data;
    EXPECT_FALSE(parse(c.text, data)) << c.text;
    EXPECT_EQ(capture.lines(), std::vector<std::string>{kParseFailure + c.reason}) << c.text;
  }
}

// Every device member against a value of each JSON type. A member takes its
// own type only (a number with or without a fraction for the numbers); the
// battery level alone also takes a boolean. Any other value is a wrong type,
// reported with the library's text, an explicit null included.
TEST(TrackedDeviceData, EachDeviceMemberTakesOnlyItsJsonType) {
  struct Member {
    const char* name;
    const char* type;  // "number", "boolean" or "string"
    bool takesBoolean;
  };
  const std::vector<Member> members = {
      {"index", "number", false},         {"role", "number", false},       {"hasBatteryLevel", "boolean", false},
      {"batteryLevel", "number", true},   {"connectionStatus", "number", false}, {"activated", "boolean", false},
      {"charging", "boolean", false},     {"id", "string", false},         {"name", "string", false},
      {"channel", "string", false},       {"trackingSystemName", "string", false}, {"pluggedIn", "boolean", false},
  };
  struct Value {
    Json json;
    std::string type;  // as the library names it
  };
  const std::vector<Value> values = {{nullptr, "null"},   {true, "boolean"}, {false, "boolean"},
                                     {3, "number"},       {0.5, "number"},   {"text", "string"},
                                     {Json::array(), "array"}, {Json::object(), "object"}};
  for (const Member& member : members) {
    for (const Value& value : values) {
      Json headset = device("H");
      headset[member.name] = value.json;
      const std::string text = devices(headset);
      const bool fits = value.type == member.type || (member.takesBoolean && value.type == "boolean");
      Orvel::Test::LogCapture capture;
      TrackedDeviceData data;
      EXPECT_EQ(parse(text, data), fits) << text;
      const std::vector<std::string> expected =
          fits ? std::vector<std::string>{}
               : std::vector<std::string>{kParseFailure + "[json.exception.type_error.302] type must be " +
                                          member.type + ", but is " + value.type};
      EXPECT_EQ(capture.lines(), expected) << text;
    }
  }
}

TEST(TrackedDeviceData, IntegerMembersTakeOnlyNumbersThatFitThirtyTwoBits) {
  // Numbers beyond the range are refused rather than converted, which for a
  // number with a fraction would be undefined behaviour.
  struct Case {
    const char* member;
    Json value;
    std::string reason;  // empty: read, truncated toward zero
    std::int32_t read;
  };
  const std::vector<Case> cases = {
      {"index", 1e300, "member 'index' holds 1e+300, outside the range of a 32-bit integer", 0},
      {"role", -1e300, "member 'role' holds -1e+300, outside the range of a 32-bit integer", 0},
      {"connectionStatus", 2147483648.0, "member 'connectionStatus' holds 2147483648.0, outside the range of a 32-bit integer", 0},
      {"index", 2147483648u, "member 'index' holds 2147483648, outside the range of a 32-bit integer", 0},
      {"index", -2147483649LL, "member 'index' holds -2147483649, outside the range of a 32-bit integer", 0},
      {"index", 2147483647, "", 2147483647},
      {"index", -2147483648LL, "", -2147483647 - 1},
      {"index", 2147483647.5, "", 2147483647},
      {"role", -2.75, "", -2},
  };
  for (const Case& c : cases) {
    Orvel::Test::LogCapture capture;
    TrackedDeviceData data;
    const std::string text = devices(device("H", {{c.member, c.value}}));
    if (c.reason.empty()) {
      ASSERT_TRUE(parse(text, data)) << text;
      const std::string member = c.member;
      const std::int32_t read = member == "index" ? data.headset.index : data.headset.role;
      EXPECT_EQ(read, c.read) << text;
      EXPECT_TRUE(capture.lines().empty()) << text;
    } else {
      EXPECT_FALSE(parse(text, data)) << text;
      EXPECT_EQ(capture.lines(), std::vector<std::string>{kParseFailure + "[json.exception.out_of_range.406] " + c.reason})
          << text;
    }
  }
}

TEST(TrackedDeviceData, FailedParseKeepsWhatWasReadBefore) {
  Orvel::Test::LogCapture capture;
  TrackedDeviceData data;
  data.trackers.resize(2);
  const std::string text =
      devices(device("HMD"), Json::array({device("B1"), device("B2", {{"channel", nullptr}})}), Json::array(),
              Json::array({device("T1")}));
  EXPECT_FALSE(parse(text, data));
  EXPECT_EQ(data.headset.id, "HMD");
  ASSERT_GE(data.bases.size(), 1u);
  EXPECT_EQ(data.bases[0].id, "B1");
  EXPECT_TRUE(data.trackers.empty()) << "members after the failure keep their defaults";
}

TEST(TrackedDeviceData, ChangeDescription) {
  const std::string base = devices(device("HMD"), Json::array({device("B1"), device("B3")}));
  struct Case {
    std::string before;
    std::string after;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {base, base, ""},
      {"", "", ""},
      {base, devices(device("HMD", {{"connectionStatus", 0}}), Json::array({device("B1"), device("B3")})),
       "Headset: (connectionStatus: ConnectedTracking -> Disconnected)"},
      {base, devices(device("HMD"), Json::array({device("B3", {{"charging", true}}), device("B2")})),
       "Changed Base 'B3' (charging: false -> true), New Base 'B2', Removed Base 'B1'"},
      {base,
       devices(device("HMD", {{"name", "Renamed"}, {"pluggedIn", false}}), Json::array({device("B1"), device("B3")}),
               Json::array({device("C1")})),
       "Headset: (name: 'Device HMD' -> 'Renamed', pluggedIn: none -> false)New Controller 'C1'"},
      {devices(device("HMD"), Json::array(), Json::array({device("C1")}), Json::array({device("T1")})),
       devices(device("HMD"), Json::array(), Json::array({device("C1", {{"batteryLevel", 0.25}})})),
       "Changed Controller 'C1' (batteryLevel: 0.5 -> 0.25), Removed Tracker 'T1'"},
  };
  Orvel::Test::LogCapture capture;
  for (const Case& c : cases) {
    EXPECT_EQ(Orvel::describeTrackedDeviceDataChange(c.before, c.after), c.expected) << c.after;
  }
  EXPECT_TRUE(capture.lines().empty());
}

TEST(TrackedDeviceData, UnknownConnectionStatusShowsAsDisconnectedWithOneErrorLine) {
  Orvel::Test::LogCapture capture;
  const std::string before = devices(device("HMD", {{"connectionStatus", 5}}));
  const std::string after = devices(device("HMD", {{"connectionStatus", 4}}));
  EXPECT_EQ(Orvel::describeTrackedDeviceDataChange(before, after),
            "Headset: (connectionStatus: Disconnected -> Starting)");
  // The helper lives in an unnamed namespace; GCC names it "{anonymous}".
  EXPECT_EQ(capture.lines(),
            std::vector<std::string>{" ERR [Orvel::{anonymous}::connectionStatusToString] Unrecognized "
                                     "TrackedDeviceData::ConnectionStatus 5"});
}

TEST(HeadsetInformation, DefaultTextIsTheCompactJsonWithSortedMembers) {
  EXPECT_EQ(Orvel::State::defaultHeadsetInformationText(),
            R"({"firmwareInformation":{"checksum":"","name":"","size":0,"version":""},"isVSTSupported":true,)"
            R"("productBuild":"UNKNOWN","productName":"Q740","productType":"Q740","productTypeCustomFlags":1,)"
            R"("serialNumber":"8R0000000000000000"})");
  EXPECT_EQ(&Orvel::State::defaultHeadsetInformationText(), &Orvel::State::defaultHeadsetInformationText())
      << "made once and kept";
}

TEST(HeadsetInformation, ProductNamesAndBuildStages) {
  const std::vector<std::pair<int, std::string>> builds = {
      {1, "S1"},    {2, "S2"},    {3, "S3"},           {4, "S4"},         {1001, "EVT"}, {1002, "DVT"},
      {1003, "PVT"}, {2000, "PRODUCTION"}, {3000, "UNKNOWN"}, {42, "Undefined"}, {0, "Undefined"}};
  for (const auto& [number, name] : builds) EXPECT_EQ(Orvel::State::productBuildToString(number), name) << number;

  Orvel::Test::LogCapture capture;
  EXPECT_EQ(Orvel::State::productTypeToString(4), "Q410");
  EXPECT_EQ(Orvel::State::productTypeToString(5), "R520");
  EXPECT_EQ(Orvel::State::productTypeToString(6), "R630");
  EXPECT_EQ(Orvel::State::productTypeToString(7), "Q740");
  EXPECT_TRUE(capture.lines().empty());
  EXPECT_EQ(Orvel::State::productTypeToString(9), "");
  EXPECT_EQ(capture.lines(),
            std::vector<std::string>{" ERR [Orvel::State::productTypeToString] Unrecognized product type 9"});
}

TEST(HeadsetInformation, WrittenWithNamesForTypeAndBuild) {
  Orvel::State::HeadsetInformation information;
  information.productType = 5;
  information.productBuild = 1002;
  information.serialNumber = "SN1";
  information.isVSTSupported = false;
  information.firmwareInformation = {"1.2.3", "main", "abcd", 4096};
  information.productTypeCustomFlags = 0x8000000000000000ull;
  EXPECT_EQ(Json(information).dump(),
            R"({"firmwareInformation":{"checksum":"abcd","name":"main","size":4096,"version":"1.2.3"},)"
            R"("isVSTSupported":false,"productBuild":"DVT","productName":"Q740","productType":"R520",)"
            R"("productTypeCustomFlags":9223372036854775808,"serialNumber":"SN1"})");
}

TEST(VstColorGradingEffectConfig, DefaultTextHasEveryMember) {
  EXPECT_EQ(Orvel::State::defaultVstColorGradingEffectText(),
            R"({"contrastHigh":1.0,"contrastLow":1.0,"contrastMid":1.0,"contrastMidpoint":0.5,"enabled":false,)"
            R"("intensity":1.0,"params":{},"rgbExp":[1.0,1.0,1.0],"rgbGain":[1.0,1.0,1.0],"saturation":1.0,)"
            R"("strength":1.0,"temperature":0.0,"useDebugSplit":false})");
}

}  // namespace
