#include <gtest/gtest.h>

#include "TestPlugins.h"
#include "support/LogCapture.h"
#include "tracking/DynamicLibrary.h"

namespace {

// " ERR [function] prefix" followed by a non-empty error text and a closing quote.
void expectErrorLine(const std::string& line, const std::string& prefix) {
  ASSERT_GE(line.size(), prefix.size() + 2) << line;
  EXPECT_EQ(line.substr(0, prefix.size()), prefix);
  EXPECT_EQ(line.back(), '\'') << line;
  EXPECT_NE(line.substr(prefix.size()), "'") << "the error text is missing: " << line;
}

TEST(DynamicLibrary, MissingLibraryLogsOnceAndResolvesNothing) {
  Orvel::Test::LogCapture log;
  const std::string path = testPluginFolder() + ORVEL_TEST_PATH_SEPARATOR + "no_such_plugin" ORVEL_TEST_PLUGIN_SUFFIX;
  const Orvel::DynamicLibrary library(asciiPath(path));
  EXPECT_FALSE(library.isLoaded());
  EXPECT_EQ(library.loadFunctionAddress("orvel_GetPluginType"), nullptr);
  const std::vector<std::string> lines = log.take();
  ASSERT_EQ(lines.size(), 1u) << "an unloaded library looks up nothing and logs nothing";
  expectErrorLine(lines[0],
                  " ERR [Orvel::DynamicLibrary::DynamicLibrary] Unable to load DLL '" + path + "' because of error: '");
}

TEST(DynamicLibrary, MissingExportIsLoggedByName) {
  Orvel::Test::LogCapture log;
  const Orvel::DynamicLibrary library(testPluginNativePath("tracking_no_hmd_pose"));
  ASSERT_TRUE(library.isLoaded());
  EXPECT_EQ(library.loadFunctionAddress("orvel_GetHMDPose"), nullptr);
  EXPECT_NE(library.loadFunctionAddress("orvel_TrackerStop"), nullptr);
  const std::vector<std::string> lines = log.take();
  ASSERT_EQ(lines.size(), 1u);
  expectErrorLine(lines[0],
                  " ERR [Orvel::DynamicLibrary::loadFunctionAddress] Unable to load function orvel_GetHMDPose "
                  "because of error: '");
}

// The logger keeps 4095 characters of a message; a path longer than that
// still gives a line, cut at that length, rather than an empty message.
TEST(DynamicLibrary, OverlongPathGivesCutMessage) {
  Orvel::Test::LogCapture log;
  const Orvel::DynamicLibrary library(asciiPath("x" + std::string(5000, 'a') + ".dll"));
  EXPECT_FALSE(library.isLoaded());
  const std::vector<std::string> lines = log.take();
  ASSERT_EQ(lines.size(), 1u);
  const std::string prefix = " ERR [Orvel::DynamicLibrary::DynamicLibrary] ";
  ASSERT_EQ(lines[0].substr(0, prefix.size()), prefix);
  const std::string message = lines[0].substr(prefix.size());
  EXPECT_EQ(message.size(), 4095u);
  EXPECT_EQ(message, ("Unable to load DLL 'x" + std::string(5000, 'a')).substr(0, 4095));
}

}  // namespace
