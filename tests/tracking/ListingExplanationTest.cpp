#include "tracking/ListingExplanation.h"

#include <gtest/gtest.h>

#include "OrvelPluginAPI.h"

using Orvel::Tracking::ListingExplanation;
using Orvel::Tracking::PluginKind;

// The runtime takes majors 2 and 3 and 4.0 to 4.16 (any third and fourth
// number): each side of every edge of that rule.
TEST(ListingExplanation, ApiVersionIsExplainedExactlyWhenTheRuntimeRefusesIt) {
  const struct {
    std::uint64_t version;
    const char* expected;
  } cases[] = {
      {ORVEL_PLUGIN_API_VERSION(0, 0, 0, 0), "API version 0.0.0.0 is older than 2.0.0.0; the runtime refuses this plugin"},
      {ORVEL_PLUGIN_API_VERSION(1, 255, 255, 255),
       "API version 1.255.255.255 is older than 2.0.0.0; the runtime refuses this plugin"},
      {ORVEL_PLUGIN_API_VERSION(2, 0, 0, 0), ""},
      {ORVEL_PLUGIN_API_VERSION(3, 99, 0, 0), ""},
      {ORVEL_PLUGIN_API_VERSION(4, 0, 0, 0), ""},
      {ORVEL_PLUGIN_API_VERSION(4, 16, 255, 255), ""},
      {ORVEL_PLUGIN_API_VERSION(4, 17, 0, 0), "API version 4.17.0.0 is newer than 4.16.0.0; the runtime refuses this plugin"},
      {ORVEL_PLUGIN_API_VERSION(5, 0, 0, 0), "API version 5.0.0.0 is newer than 4.16.0.0; the runtime refuses this plugin"},
      {ORVEL_PLUGIN_API_VERSION(255, 0, 0, 0),
       "API version 255.0.0.0 is newer than 4.16.0.0; the runtime refuses this plugin"},
  };
  for (const auto& c : cases) EXPECT_EQ(ListingExplanation::ofApiVersion(c.version), c.expected) << c.expected;
}

TEST(ListingExplanation, MissingExportsNameTheOtherKindOnlyWhenTheTypeSaysSo) {
  const std::string how = "ORVEL_PLUGIN_EXPORT from OrvelPluginAPI.h";
  EXPECT_EQ(ListingExplanation::ofMissingExports(PluginKind::Tracking, 2, {"orvel_TrackerStart"}, 9),
            "orvel_GetPluginType returned 2: a motion platform plugin; use --mode=verify-motion-platform-plugin");
  EXPECT_EQ(ListingExplanation::ofMissingExports(PluginKind::MotionPlatform, 1, {"orvel_UpdatePose"}, 7),
            "orvel_GetPluginType returned 1: a tracking plugin; use --mode=verify");
  // The run's own kind, another type or no type function: what is missing.
  for (const std::optional<std::int64_t> type : {std::optional<std::int64_t>(1), std::optional<std::int64_t>(3),
                                                 std::optional<std::int64_t>()}) {
    EXPECT_EQ(ListingExplanation::ofMissingExports(PluginKind::Tracking, type, {"orvel_TrackerStop", "orvel_GetHMDPose"}, 9),
              "the library does not export orvel_TrackerStop, orvel_GetHMDPose: define each plugin function with " + how);
  }
  EXPECT_EQ(ListingExplanation::ofMissingExports(PluginKind::MotionPlatform, std::nullopt, std::vector<std::string>(7, "x"), 7),
            "the library exports none of the plugin functions: define them with " + how +
                ", which exports each by its C name (__declspec(dllexport) on Windows, default symbol visibility "
                "elsewhere)");
}

TEST(ListingExplanation, StatusCarriesTheDescriptionWhenThereIsOne) {
  EXPECT_EQ(ListingExplanation::ofStatus(-2, std::string("Camera disconnected")), "returned -2 (Camera disconnected)");
  EXPECT_EQ(ListingExplanation::ofStatus(7, std::nullopt), "returned 7");
  EXPECT_EQ(ListingExplanation::ofStatus(1, std::string()), "returned 1");
}
