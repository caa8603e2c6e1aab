#include "DiscoveryFixture.h"
#include "logging/StringUtil.h"

namespace fs = std::filesystem;

class ManifestSearchTest : public DiscoveryTest {
 protected:
  fs::path plugins() const { return folder / "Orvel" / "OrvelTracking" / "Plugins"; }
};

TEST_F(ManifestSearchTest, MissingPluginsFolderIsReportedAndFindsNothing) {
  EXPECT_TRUE(discovery.findManifestFiles(folder).empty());
  const std::string path = plugins().u8string();
  EXPECT_EQ(logLines, std::vector<std::string>{" --- [Orvel::Tracking::PluginDiscovery::findManifestFiles] "
                                               "Plugin manifest directory: " + path});
  EXPECT_EQ(errors, std::vector<std::string>{"Error when searching manifest files: Path '" + path + "' does not exist"});
}

TEST_F(ManifestSearchTest, AFailureWhileEnumeratingDropsEverythingFound) {
  write("Orvel/OrvelTracking/Plugins/Good/good.manifest", "{}");
  // A folder name that is not valid Unicode: a lone surrogate on Windows, a
  // stray 0xFF byte elsewhere. Logging its path cannot convert it to UTF-8.
  fs::path invalid;
  if constexpr (std::is_same_v<fs::path::value_type, wchar_t>) {
    invalid = std::wstring{L'v', static_cast<wchar_t>(0xD800)};
  } else {
    invalid = std::string("v\xFF");
  }
  std::error_code created;
  fs::create_directories(plugins() / invalid, created);
  if (created) GTEST_SKIP() << "this file system cannot hold a name that is not valid Unicode";

  EXPECT_TRUE(discovery.findManifestFiles(folder).empty()) << "no partial result";
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].rfind("Error when searching manifest files: String conversion error: ", 0), 0u) << errors[0];
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
