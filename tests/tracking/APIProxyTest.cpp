#include <gtest/gtest.h>

#include <memory>

#include "TestEnvironment.h"
#include "TestPlugins.h"
#include "support/LogCapture.h"
#include "tracking/MotionPlatformAPIProxy.h"
#include "tracking/PluginAPIProxy.h"

namespace {

using Orvel::Tracking::CommonAPIProxy;
using Orvel::Tracking::MotionPlatformAPIProxy;
using Orvel::Tracking::PluginAPIProxy;

TEST(APIProxy, KindAndValidityOfEachVariant) {
  struct Case {
    const char* variant;
    bool commonValid;
    bool trackingValid;
    bool motionValid;
    bool isTracking;
    bool isMotion;
    bool versionSupported;
  };
  const Case cases[] = {
      {"tracking_ok", true, true, false, true, false, true},
      {"motion_ok", true, false, true, false, true, true},
      {"motion_no_update_pose", true, false, false, false, true, true},
      {"type3", true, true, false, false, false, true},
      {"tracking_api_4_17", true, true, false, true, false, false},
      {"tracking_api_3_99", true, true, false, true, false, true},
      {"tracking_api_1_0", true, true, false, true, false, false},
      {"tracking_no_hmd_pose", true, false, false, true, false, true},
      {"tracking_no_shutdown", false, false, false, true, false, true},
      {"no_such_plugin", false, false, false, false, false, false},
  };
  Orvel::Test::LogCapture log;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.variant);
    const Orvel::platform::NativePath path = testPluginNativePath(c.variant);
    const CommonAPIProxy common(path);
    const PluginAPIProxy tracking(path);
    const MotionPlatformAPIProxy motion(path);
    EXPECT_EQ(common.isValid(), c.commonValid);
    EXPECT_EQ(tracking.isValid(), c.trackingValid);
    EXPECT_EQ(motion.isValid(), c.motionValid);
    EXPECT_EQ(tracking.isTrackingPlugin(), c.isTracking);
    EXPECT_EQ(motion.isMotionPlatformPlugin(), c.isMotion);
    EXPECT_EQ(common.isAPIVersionSupported(), c.versionSupported);
  }
}

TEST(APIProxy, MissingLibraryLeavesEveryPointerNull) {
  Orvel::Test::LogCapture log;
  const PluginAPIProxy proxy(testPluginNativePath("no_such_plugin"));
  EXPECT_EQ(proxy.GetPluginType, nullptr);
  EXPECT_EQ(proxy.GetPluginAPIVersion, nullptr);
  EXPECT_EQ(proxy.GetPluginName, nullptr);
  EXPECT_EQ(proxy.GetPluginStatusDescription, nullptr);
  EXPECT_EQ(proxy.PluginInit, nullptr);
  EXPECT_EQ(proxy.PluginShutdown, nullptr);
  EXPECT_EQ(proxy.TrackerStart, nullptr);
  EXPECT_EQ(proxy.TrackerStop, nullptr);
  EXPECT_EQ(proxy.GetHMDPose, nullptr);
  const std::vector<std::string> lines = log.take();
  ASSERT_EQ(lines.size(), 1u) << "one load failure, no export-not-found lines";
  EXPECT_NE(lines[0].find("Unable to load DLL"), std::string::npos) << lines[0];
}

TEST(APIProxy, MissingTrackingExportIsLoggedOnlyByTheTrackingProxy) {
  Orvel::Test::LogCapture log;
  const CommonAPIProxy common(testPluginNativePath("tracking_no_hmd_pose"));
  EXPECT_TRUE(log.take().empty()) << "the common proxy does not look for tracking exports";
  const PluginAPIProxy tracking(testPluginNativePath("tracking_no_hmd_pose"));
  const std::vector<std::string> lines = log.take();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("Unable to load function orvel_GetHMDPose because of error: '"), std::string::npos)
      << lines[0];
  EXPECT_EQ(tracking.GetHMDPose, nullptr);
  EXPECT_NE(tracking.TrackerStop, nullptr);
}

// The plugin reports the type and version given in its environment.
class ConfigurablePlugin : public ::testing::Test {
 protected:
  void TearDown() override {
    unsetTestEnvironmentVariable("ORVEL_TEST_PLUGIN_API_VERSION");
    unsetTestEnvironmentVariable("ORVEL_TEST_PLUGIN_TYPE");
  }
};

TEST_F(ConfigurablePlugin, VersionAcceptanceReadsLowBytesOfMajorAndMinor) {
  struct Case {
    const char* version;
    bool supported;
  };
  const Case cases[] = {
      {"0x0004001000000000", true},   // 4.16
      {"0x0004001100000000", false},  // 4.17
      {"0x0004000000000000", true},   // 4.0
      {"0x000400FF00000000", false},  // 4.255
      {"0x00030063FFFFFFFF", true},   // 3.99 with any lower parts
      {"0x0002000000000000", true},   // 2.0
      {"0x000200FF00000000", true},   // 2.255
      {"0x0001001000000000", false},  // 1.16
      {"0x0000001000000000", false},  // 0.16
      {"0x0005000000000000", false},  // 5.0
      {"0x0104001000000000", true},   // high byte of the major group ignored: 4.16
      {"0x0104011100000000", false},  // high byte of the minor group ignored: 4.17
      {"0x0004021000000000", true},   // 4.16 with 0x02 above it
      {"0xFF03000000000000", true},   // 3.0
  };
  for (const Case& c : cases) {
    setTestEnvironmentVariable("ORVEL_TEST_PLUGIN_API_VERSION", c.version);
    const CommonAPIProxy proxy(testPluginNativePath("configurable"));
    ASSERT_NE(proxy.GetPluginAPIVersion, nullptr);
    EXPECT_EQ(proxy.isAPIVersionSupported(), c.supported) << c.version;
  }
}

TEST_F(ConfigurablePlugin, KindFollowsThePluginType) {
  struct Case {
    const char* type;
    bool tracking;
    bool motion;
  };
  const Case cases[] = {{"1", true, false}, {"2", false, true}, {"3", false, false},
                        {"0", false, false}, {"-1", false, false}, {"0x100000001", false, false}};
  for (const Case& c : cases) {
    setTestEnvironmentVariable("ORVEL_TEST_PLUGIN_TYPE", c.type);
    EXPECT_EQ(PluginAPIProxy(testPluginNativePath("configurable")).isTrackingPlugin(), c.tracking) << c.type;
    EXPECT_EQ(MotionPlatformAPIProxy(testPluginNativePath("configurable")).isMotionPlatformPlugin(), c.motion)
        << c.type;
  }
}

TEST(APIProxy, CopiesKeepTheLibraryLoaded) {
  auto original = std::make_unique<PluginAPIProxy>(testPluginNativePath("tracking_ok"));
  const PluginAPIProxy copy = *original;
  original.reset();
  ASSERT_NE(copy.GetPluginName, nullptr);
  EXPECT_STREQ(copy.GetPluginName(), "Orvel Test Plugin") << "the copy still owns the loaded library";
}

}  // namespace
