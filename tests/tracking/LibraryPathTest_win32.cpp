#include <gtest/gtest.h>

#include "platform/SharedLibrary.h"

namespace {

TEST(LibraryPath, FolderOfAPath) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"C:\\Tracker\\plugin.dll", L"C:\\Tracker"},
      {L"C:\\plugin.dll", L"C:\\"},
      {L"C:plugin.dll", L"C:"},
      {L"C:\\a\\\\/plugin.dll", L"C:\\a"},
      {L"C:/a/b/plugin.dll", L"C:/a/b"},
      {L"\\\\server\\share\\plugin.dll", L"\\\\server\\share"},
      {L"plugin.dll", L""},
      {L"", L""},
  };
  for (const auto& [path, folder] : cases) EXPECT_EQ(Orvel::platform::libraryFolder(path), folder);
}

TEST(LibraryPath, TypedPathsUseTheActiveCodePage) {
  EXPECT_EQ(Orvel::platform::widenLibraryPath("C:\\Tracker\\plugin.dll"), L"C:\\Tracker\\plugin.dll");
  EXPECT_EQ(Orvel::platform::widenLibraryPath(""), L"");
}

}  // namespace
