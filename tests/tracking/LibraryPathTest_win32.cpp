#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include "OrvelPluginAPI.h"
#include "TestPlugins.h"
#include "platform/NarrowPath.h"
#include "platform/SharedLibrary.h"
#include "tracking/PluginAPIProxy.h"

namespace {

TEST(LibraryPath, FolderOfAPath) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"C:\\Tracker\\plugin.dll", L"C:\\Tracker"},
      {L"C:\\plugin.dll", L"C:\\"},
      {L"C:plugin.dll", L"C:"},
      {L"C:\\a\\\\/plugin.dll", L"C:\\a"},
      {L"C:/a/b/plugin.dll", L"C:/a/b"},
      {L"\\\\server\\share\\plugin.dll", L"\\\\server\\share"},
      {L"C:\\Pl\u00FCgin \u2013 Vendor\u2122 \u20AC\\plugin.dll", L"C:\\Pl\u00FCgin \u2013 Vendor\u2122 \u20AC"},
      {L"C:\\\u30BD\u30D5\u30C8\\plugin.dll", L"C:\\\u30BD\u30D5\u30C8"},
      {L"plugin.dll", L""},
      {L"", L""},
  };
  for (const auto& [path, folder] : cases) EXPECT_EQ(Orvel::platform::libraryFolder(path), folder);
}

// A folder name typed in one code page, and the characters it stands for.
struct TypedFolder {
  UINT codePage;
  const char* typed;
  const wchar_t* name;
};

// Each is tested when its code page is the one of the file functions: ANSI
// (the locale's) or OEM. The test registrations run these under several
// locales. 0x5C, a backslash in ASCII, is the second byte of a character in
// code page 932: no byte of such a name may be read on its own.
const TypedFolder kTypedFolders[] = {
    {1252, "Pl\xFCgin \x96 Vendor\x99 \x80", L"Pl\u00FCgin \u2013 Vendor\u2122 \u20AC"},
    {1252, "\xFF", L"\u00FF"},
    {437, "M\x81ller", L"M\u00FCller"},
    {1250, "\x8Cwiat", L"\u015Awiat"},
    {1251, "\xCF\xEB\xE0\xE3\xE8\xED", L"\u041F\u043B\u0430\u0433\u0438\u043D"},
    {932, "\x83\x5C\x83t\x83g", L"\u30BD\u30D5\u30C8"},
};

// The typed folders of the code page the file functions use now.
std::vector<TypedFolder> foldersOfCurrentCodePage() {
  const UINT codePage = AreFileApisANSI() ? GetACP() : GetOEMCP();
  std::vector<TypedFolder> folders;
  for (const TypedFolder& folder : kTypedFolders) {
    if (folder.codePage == codePage) folders.push_back(folder);
  }
  return folders;
}

// Leaves the file functions in the ANSI code page, however the test ends.
struct OemFileFunctions {
  OemFileFunctions() { SetFileApisToOEM(); }
  ~OemFileFunctions() { SetFileApisToANSI(); }
};

void expectTypedPathsRead(const std::vector<TypedFolder>& folders) {
  for (const TypedFolder& folder : folders) {
    SCOPED_TRACE(folder.codePage);
    const std::string typed = std::string("C:\\") + folder.typed + "\\plugin.dll";
    const std::wstring wide = std::wstring(L"C:\\") + folder.name + L"\\plugin.dll";
    EXPECT_EQ(Orvel::platform::nativePath(typed), wide);
    EXPECT_EQ(Orvel::platform::narrowPath(wide), typed) << "the Found line writes it back the same way";
  }
}

TEST(LibraryPath, TypedPathsAreReadInTheCodePageOfTheFileFunctions) {
  const std::vector<TypedFolder> ansi = foldersOfCurrentCodePage();
  std::vector<TypedFolder> oem;
  {
    const OemFileFunctions useOem;
    oem = foldersOfCurrentCodePage();
    expectTypedPathsRead(oem);
  }
  expectTypedPathsRead(ansi);
  EXPECT_EQ(Orvel::platform::nativePath(""), L"");
  if (ansi.empty() && oem.empty()) GTEST_SKIP() << "no typed folders for code pages " << GetACP() << "/" << GetOEMCP();
}

TEST(LibraryPath, ByteSequenceTheCodePageLacksThrows) {
  if (GetACP() != 932) GTEST_SKIP() << "every byte sequence means a character in code page " << GetACP();
  // A lead byte without its second byte.
  EXPECT_THROW(Orvel::platform::nativePath("C:\\\x83"), std::filesystem::filesystem_error);
}

// The whole way of a typed path: the load check, the proxies and the plugin's
// folder on the search path (its neighbour is found only there).
TEST(LibraryPath, PluginInATypedFolderLoadsWithItsNeighbour) {
  const std::vector<TypedFolder> folders = foldersOfCurrentCodePage();
  if (folders.empty()) GTEST_SKIP() << "no typed folders for code page " << GetACP();
  namespace fs = std::filesystem;
  const fs::path base = fs::temp_directory_path() / ("orvel-library-path-" + std::to_string(GetCurrentProcessId()));
  for (const TypedFolder& folder : folders) {
    SCOPED_TRACE(folder.codePage);
    const fs::path copy = base / folder.name;
    std::error_code created;
    fs::create_directories(copy, created);
    // Wine stores file names in the character set of the Unix locale, which
    // must be installed; the locales named only for their code page are not.
    if (created) GTEST_SKIP() << "the file system cannot hold this name here: " << created.message();
    for (const char* variant : {"tracking_uses_neighbour", "neighbour"}) {
      fs::copy_file(asciiPath(testPluginPath(variant)), copy / asciiPath(std::string(variant) + ".dll"),
                    fs::copy_options::overwrite_existing);
    }
    const std::string typed = Orvel::platform::narrowPath(base) + "\\" + folder.typed + "\\tracking_uses_neighbour.dll";
    const Orvel::Tracking::PluginAPIProxy proxy(Orvel::platform::nativePath(typed));
    ASSERT_TRUE(proxy.isValid()) << typed;
    EXPECT_STREQ(proxy.GetPluginName(), "Test plugin named by its neighbour");
  }
  fs::remove_all(base);
}

}  // namespace
