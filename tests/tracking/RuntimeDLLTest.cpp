#include <gtest/gtest.h>

#include "OrvelPluginAPI.h"
#include "TestEnvironment.h"
#include "TestPlugins.h"
#include "support/LogCapture.h"
#include "tracking/PrepareDllDirectory.h"
#include "tracking/RuntimeDLL.h"

namespace {

TEST(RuntimeDLL, FindsALibraryBesideThePlugin) {
  // The plugin imports its name from neighbour, which lies in the same folder
  // and nowhere else on the search path.
  const Orvel::RuntimeDLL plugin(testPluginNativePath("tracking_uses_neighbour"));
  ASSERT_TRUE(plugin.library().isLoaded());
  const auto name = reinterpret_cast<PFN_orvel_GetPluginName>(plugin.library().loadFunctionAddress("orvel_GetPluginName"));
  ASSERT_NE(name, nullptr);
  EXPECT_STREQ(name(), "Test plugin named by its neighbour");
}

TEST(RuntimeDLL, ExpandsEnvironmentReferencesBeforeLoading) {
  setTestEnvironmentVariable("ORVEL_TEST_PLUGIN_HOME", testPluginFolder().c_str());
  const std::string typed = std::string("%ORVEL_TEST_PLUGIN_HOME%") + ORVEL_TEST_PATH_SEPARATOR + "tracking_ok" +
                            ORVEL_TEST_PLUGIN_SUFFIX;
  Orvel::platform::DllDirectoryCookie cookie = nullptr;
  const Orvel::platform::NativePath expanded = Orvel::prepareDllDirectory(asciiPath(typed), cookie);
  Orvel::platform::removeDllDirectory(cookie);
  EXPECT_EQ(expanded, testPluginNativePath("tracking_ok"));

  const Orvel::RuntimeDLL plugin(asciiPath(typed));
  EXPECT_TRUE(plugin.library().isLoaded());
  unsetTestEnvironmentVariable("ORVEL_TEST_PLUGIN_HOME");
}

TEST(RuntimeDLL, BareNameIsNotFoundInThePluginFolder) {
  Orvel::Test::LogCapture log;
  Orvel::platform::DllDirectoryCookie cookie = nullptr;
  const Orvel::platform::NativePath bare = asciiPath(std::string("tracking_ok") + ORVEL_TEST_PLUGIN_SUFFIX);
  EXPECT_EQ(Orvel::prepareDllDirectory(bare, cookie), bare);
  EXPECT_EQ(cookie, nullptr) << "an empty folder is not added to the search path";
  const Orvel::RuntimeDLL plugin(bare);
  EXPECT_FALSE(plugin.library().isLoaded()) << "only the default folders are searched";
}

}  // namespace
