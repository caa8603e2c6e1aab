#include <gtest/gtest.h>

#include <filesystem>

#include "platform/SharedLibrary.h"

namespace {

TEST(LibraryPath, FolderOfAPath) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"/opt/vendor/plugin.so", L"/opt/vendor"},
      {L"/plugin.so", L"/"},
      {L"/opt/vendor//plugin.so", L"/opt/vendor"},
      {L"plugin.so", L""},
      {L"vendor/plugin.so", L"vendor"},
      {L"/opt/d\u00FC/plugin.so", L"/opt/d\u00FC"},
      {L"", L""},
  };
  for (const auto& [path, folder] : cases) EXPECT_EQ(Orvel::platform::libraryFolder(path), folder);
}

TEST(LibraryPath, TypedPathsAreUtf8) {
  EXPECT_EQ(Orvel::platform::widenLibraryPath("/opt/d\xC3\xBC/p.so"), L"/opt/d\u00FC/p.so");
  EXPECT_EQ(Orvel::platform::widenLibraryPath(""), L"");
  EXPECT_THROW(Orvel::platform::widenLibraryPath("/opt/\xFF/p.so"), std::filesystem::filesystem_error);
}

}  // namespace
