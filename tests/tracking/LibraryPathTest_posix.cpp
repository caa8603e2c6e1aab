#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "TestEnvironment.h"
#include "TestPlugins.h"
#include "platform/SharedLibrary.h"
#include "tracking/PluginAPIProxy.h"

namespace {

TEST(LibraryPath, FolderOfAPath) {
  const std::pair<const char*, const char*> cases[] = {
      {"/opt/vendor/plugin.so", "/opt/vendor"},
      {"/plugin.so", "/"},
      {"/opt/vendor//plugin.so", "/opt/vendor"},
      {"plugin.so", ""},
      {"vendor/plugin.so", "vendor"},
      {"/opt/d\xC3\xBC/plugin.so", "/opt/d\xC3\xBC"},
      {"/opt/\xFF\xFE/plugin.so", "/opt/\xFF\xFE"},
      {"", ""},
  };
  for (const auto& [path, folder] : cases) EXPECT_EQ(Orvel::platform::libraryFolder(path), folder) << path;
}

// A path is bytes here: what the user typed is what the loader gets, UTF-8 or not.
TEST(LibraryPath, TypedPathsKeepTheirBytes) {
  const char* const typed[] = {"/opt/d\xC3\xBC/p.so", "/opt/\xFF/p.so", "/opt/\xC3/p.so", "\x80", ""};
  for (const char* path : typed) EXPECT_EQ(Orvel::platform::nativePath(path), path);
}

TEST(LibraryPath, ReferencesWithBytesThatAreNotUtf8AreExpanded) {
  setTestEnvironmentVariable("ORVEL_TEST_\xFF", "/opt/\xFE");
  EXPECT_EQ(Orvel::platform::expandEnvironmentStrings("%ORVEL_TEST_\xFF%/\xFD.so"), "/opt/\xFE/\xFD.so");
  unsetTestEnvironmentVariable("ORVEL_TEST_\xFF");
}

TEST(LibraryPath, PluginInAFolderThatIsNotUtf8Loads) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("orvel-library-path-" + std::to_string(::getpid()) + "-\xFF");
  std::filesystem::create_directories(folder);
  const std::filesystem::path copy = folder / ("tracking_ok" ORVEL_TEST_PLUGIN_SUFFIX);
  std::filesystem::copy_file(testPluginPath("tracking_ok"), copy, std::filesystem::copy_options::overwrite_existing);
  {
    const Orvel::Tracking::PluginAPIProxy proxy(Orvel::platform::nativePath(copy.native()));
    EXPECT_TRUE(proxy.isValid());
    EXPECT_TRUE(proxy.isTrackingPlugin());
  }
  std::filesystem::remove_all(folder);
}

}  // namespace
