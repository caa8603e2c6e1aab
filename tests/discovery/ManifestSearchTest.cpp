#include <algorithm>
#include <type_traits>

#include "DiscoveryFixture.h"
#include "logging/StringUtil.h"
#include "platform/KnownFolders.h"

namespace fs = std::filesystem;

namespace {

const std::string kInfo = " --- [Orvel::Tracking::PluginDiscovery::findManifestFiles] ";

std::string utf8(const fs::path& path) { return path.u8string(); }

// A file or folder name that is not valid Unicode: a lone surrogate on
// Windows, a stray 0xFF byte elsewhere.
fs::path invalidName() {
  if constexpr (std::is_same_v<fs::path::value_type, wchar_t>) {
    return fs::path(std::wstring{L'v', static_cast<wchar_t>(0xD800)});
  } else {
    return fs::path(std::string("v\xFF"));
  }
}

}  // namespace

class ManifestSearchTest : public DiscoveryTest {
 protected:
  fs::path plugins() const { return folder / "Orvel" / "OrvelTracking" / "Plugins"; }
};

TEST_F(ManifestSearchTest, MissingPluginsFolderIsReportedAndFindsNothing) {
  EXPECT_TRUE(discovery.findManifestFiles(folder).empty());
  EXPECT_EQ(logLines, std::vector<std::string>{kInfo + "Plugin manifest directory: " + utf8(plugins())});
  EXPECT_EQ(errors, std::vector<std::string>{"Error when searching manifest files: Path '" + utf8(plugins()) +
                                             "' does not exist"});
}

TEST_F(ManifestSearchTest, EmptyPluginsFolderLogsOnlyTheFolder) {
  fs::create_directories(plugins());
  EXPECT_TRUE(discovery.findManifestFiles(folder).empty());
  EXPECT_EQ(logLines, std::vector<std::string>{kInfo + "Plugin manifest directory: " + utf8(plugins())});
  EXPECT_TRUE(errors.empty());
}

TEST_F(ManifestSearchTest, FindsOnlyManifestFilesOneLevelBelowTheVendorFolders) {
  const fs::path vendor = plugins() / "Acme";
  for (const char* name : {"Plugins/stray.manifest", "Plugins/Acme/a.manifest", "Plugins/Acme/b.txt",
                           "Plugins/Acme/c.MANIFEST", "Plugins/Acme/.manifest", "Plugins/Acme/f.manifest.bak",
                           "Plugins/Acme/d/e.manifest"}) {
    write(fs::path("Orvel/OrvelTracking") / name, "{}");
  }
  fs::create_directories(vendor / "g.manifest");  // a folder, not a file

  EXPECT_EQ(discovery.findManifestFiles(folder), std::vector<fs::path>{vendor / "a.manifest"});
  EXPECT_TRUE(errors.empty());
  std::vector<std::string> expected = {kInfo + "Plugin manifest directory: " + utf8(plugins()),
                                       kInfo + "Plugin vendor directory: " + utf8(plugins() / "Acme"),
                                       kInfo + "Plugin vendor directory: " + utf8(plugins() / "stray.manifest"),
                                       kInfo + "Found plugin manifest file: " + utf8(vendor / "a.manifest")};
  // Folder order is the file system's: compare the vendor lines as a set,
  // and the manifest line right after its vendor's line.
  std::vector<std::string> actual = logLines;
  ASSERT_EQ(actual.size(), expected.size());
  const auto acme = std::find(actual.begin(), actual.end(), expected[1]);
  ASSERT_NE(acme, actual.end());
  EXPECT_EQ(*(acme + 1), expected[3]);
  std::sort(actual.begin(), actual.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(actual, expected);
}

TEST_F(ManifestSearchTest, FindsTheManifestsOfEveryVendorInEnumerationOrder) {
  write("Orvel/OrvelTracking/Plugins/One/one.manifest", "{}");
  write("Orvel/OrvelTracking/Plugins/Two/two.manifest", "{}");
  std::vector<fs::path> vendorOrder;
  for (const auto& entry : fs::directory_iterator(plugins())) vendorOrder.push_back(entry.path());
  std::vector<fs::path> expected;
  for (const auto& vendor : vendorOrder) {
    expected.push_back(vendor / (vendor.filename() == "One" ? "one.manifest" : "two.manifest"));
  }
  EXPECT_EQ(discovery.findManifestFiles(folder), expected);
  EXPECT_TRUE(errors.empty());
}

TEST_F(ManifestSearchTest, AFailureWhileEnumeratingDropsEverythingFound) {
  write("Orvel/OrvelTracking/Plugins/Good/good.manifest", "{}");
  std::error_code created;
  fs::create_directories(plugins() / invalidName(), created);
  if (created) GTEST_SKIP() << "this file system cannot hold a name that is not valid Unicode";
  EXPECT_TRUE(discovery.findManifestFiles(folder).empty()) << "no partial result";
  std::string conversionError;
  try {
    strutil::utf8ToWide("\xFF");
    strutil::wideToUtf8(std::wstring{static_cast<wchar_t>(0xD800)});
  } catch (const strutil::StringConversionError& e) {
    conversionError = e.what();
  }
  EXPECT_EQ(errors, std::vector<std::string>{"Error when searching manifest files: " + conversionError});
}

TEST_F(ManifestSearchTest, ProgramDataFolderOfThePlatformIsSearched) {
  // The platform's folder holds whatever is installed there; the search only
  // has to start from it and name its plugins folder.
  fs::path programData;
  ASSERT_TRUE(Orvel::platform::programDataFolder(programData));
  discovery.findManifestFiles();
  ASSERT_FALSE(logLines.empty());
  EXPECT_EQ(logLines.front(),
            kInfo + "Plugin manifest directory: " + utf8(programData / "Orvel" / "OrvelTracking" / "Plugins"));
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
