#include <algorithm>
#include <set>

#include "DiscoveryFixture.h"

namespace fs = std::filesystem;

class ManifestSearchTest : public DiscoveryTest {
 protected:
  fs::path plugins() const { return folder / "Orvel" / "OrvelTracking" / "Plugins"; }
};

TEST_F(ManifestSearchTest, MissingPluginsFolderIsReportedAndFindsNothing) {
  EXPECT_TRUE(discovery.findManifestFiles(folder).empty());
  const std::string path = plugins().u8string();
  EXPECT_EQ(log.lines(), std::vector<std::string>{" --- [Orvel::Tracking::PluginDiscovery::findManifestFiles] "
                                                 "Plugin manifest directory: " + path});
  EXPECT_EQ(errors, std::vector<std::string>{"Error when searching manifest files: Path '" + path + "' does not exist"});
}

TEST_F(ManifestSearchTest, AFailureWhileEnumeratingDropsEverythingFound) {
  write("Orvel/OrvelTracking/Plugins/Good/good.manifest", "{}");
  // A vendor entry that links to itself: asking whether it is a folder fails.
  std::error_code error;
  fs::create_directory_symlink(plugins() / "Loop", plugins() / "Loop", error);
  if (error) GTEST_SKIP() << "no symbolic links here: " << error.message();
  (void)fs::status(plugins() / "Loop", error);
  if (!error) GTEST_SKIP() << "this file system does not report the link loop";

  EXPECT_TRUE(discovery.findManifestFiles(folder).empty()) << "no partial result";
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].rfind("Error when searching manifest files: ", 0), 0u) << errors[0];
}

// Windows converts names from UTF-16 to UTF-8 for the log lines, and a name
// that is not valid Unicode (a lone surrogate) fails the whole search. Linux
// names are bytes, written as they are: a name that is not UTF-8 is found.
TEST_F(ManifestSearchTest, VendorFolderNameThatIsNotUnicode) {
  const fs::path good = write("Orvel/OrvelTracking/Plugins/Good/good.manifest", "{}");
  fs::path invalid;
  if constexpr (std::is_same_v<fs::path::value_type, wchar_t>) {
    invalid = std::wstring{L'v', static_cast<wchar_t>(0xD800)};
  } else {
    invalid = std::string("v\xFF");
  }
  std::error_code created;
  fs::create_directories(plugins() / invalid, created);
  if (created) GTEST_SKIP() << "this file system cannot hold a name that is not valid Unicode";
  const fs::path odd = write(plugins() / invalid / "odd.manifest", "{}");

  const std::vector<fs::path> found = discovery.findManifestFiles(folder);
  if constexpr (std::is_same_v<fs::path::value_type, wchar_t>) {
    EXPECT_TRUE(found.empty()) << "no partial result";
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("Error when searching manifest files: String conversion error: ", 0), 0u) << errors[0];
  } else {
    EXPECT_EQ(std::set<fs::path>(found.begin(), found.end()), (std::set<fs::path>{good, odd}));
    EXPECT_TRUE(errors.empty());
    const std::string line = " --- [Orvel::Tracking::PluginDiscovery::findManifestFiles] Found plugin manifest file: ";
    const std::vector<std::string> logLines = log.lines();
    EXPECT_NE(std::find(logLines.begin(), logLines.end(), line + odd.string()), logLines.end());
  }
}

TEST_F(ManifestSearchTest, OnlyNotFoundAnswersTheExistenceTest) {
  // A plugins folder that links to itself cannot be tested for existence.
  fs::create_directories(plugins().parent_path());
  std::error_code error;
  fs::create_directory_symlink(plugins(), plugins(), error);
  if (error) GTEST_SKIP() << "no symbolic links here: " << error.message();
  (void)fs::exists(plugins(), error);
  if (!error) GTEST_SKIP() << "this file system does not report the link loop";
  EXPECT_THROW(discovery.findManifestFiles(folder), fs::filesystem_error);
  EXPECT_TRUE(errors.empty());
}
