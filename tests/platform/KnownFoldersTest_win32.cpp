#include <gtest/gtest.h>

#include "platform/KnownFolders.h"

TEST(KnownFolders, ProgramDataIsTheKnownFolder) {
  std::filesystem::path folder;
  ASSERT_TRUE(Orvel::platform::programDataFolder(folder));
  EXPECT_EQ(folder.filename(), "ProgramData");
  EXPECT_TRUE(folder.is_absolute());
}
