#include "DiscoveryFixture.h"

using Orvel::Tracking::PluginManifest;

namespace {

PluginManifest manifestFor(const std::string& variant) {
  PluginManifest manifest;
  // Absolute and with the platform's separators, as an installer writes it.
  const auto path = std::filesystem::absolute(
      (std::filesystem::path(ORVEL_TEST_PLUGIN_DIR) / (variant + ORVEL_PLUGIN_SUFFIX)).make_preferred());
  manifest.path = path.u8string();
  return manifest;
}

const std::string kNotTracker = "DLL is not a tracker plugin";
const std::string kNotValid = "DLL is not a valid plugin";
const std::string kNotMotion = "DLL is not a motion platform plugin";
const std::string kNotValidMotion = "DLL is not a valid motion platform plugin";
const std::string kVersion = "Plugin DLL version is not compatible with Orvel plugin API ver 4.16.0.0";

}  // namespace

TEST_F(DiscoveryTest, DetectsTheKindAndReportsEveryFailedCheckInOrder) {
  using Texts = std::vector<std::string>;
  struct Case {
    const char* variant;
    bool tracking;
    bool motionPlatform;
    Texts trackingErrors;
    Texts motionPlatformErrors;
  };
  const Case cases[] = {
      {"tracking_ok", true, false, {}, {kNotMotion, kNotValidMotion}},
      {"tracking_api_3_99", true, false, {}, {kNotMotion, kNotValidMotion}},
      {"tracking_api_4_17", true, false, {kVersion}, {kNotMotion, kNotValidMotion, kVersion}},
      {"tracking_api_1_0", true, false, {kVersion}, {kNotMotion, kNotValidMotion, kVersion}},
      {"tracking_no_hmd_pose", true, false, {kNotValid}, {kNotMotion, kNotValidMotion}},
      {"tracking_no_shutdown", false, false, {kNotValid}, {kNotMotion, kNotValidMotion}},
      {"motion_ok", false, true, {kNotTracker, kNotValid}, {}},
      {"motion_no_update_pose", false, true, {kNotTracker, kNotValid}, {kNotValidMotion}},
      {"type3", false, false, {kNotTracker}, {kNotMotion, kNotValidMotion}},
      {"absent", false, false, {kNotTracker, kNotValid, kVersion}, {kNotMotion, kNotValidMotion, kVersion}},
  };
  for (const Case& c : cases) {
    const PluginManifest manifest = manifestFor(c.variant);
    EXPECT_EQ(discovery.referencesTrackingPlugin(manifest), c.tracking) << c.variant;
    EXPECT_EQ(discovery.referencesMotionPlatformPlugin(manifest), c.motionPlatform) << c.variant;
    EXPECT_TRUE(errors.empty()) << c.variant << ": kind detection reports nothing";

    EXPECT_EQ(discovery.validateTrackingPlugin(manifest), c.trackingErrors.empty()) << c.variant;
    EXPECT_EQ(errors, c.trackingErrors) << c.variant;
    errors.clear();
    EXPECT_EQ(discovery.validateMotionPlatformPlugin(manifest), c.motionPlatformErrors.empty()) << c.variant;
    EXPECT_EQ(errors, c.motionPlatformErrors) << c.variant;
    errors.clear();
  }
}
