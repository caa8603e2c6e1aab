#include <gtest/gtest.h>

#include "TestEnvironment.h"
#include "platform/KnownFolders.h"

TEST(KnownFolders, ProgramDataComesFromTheEnvironmentOrUsrShare) {
  std::filesystem::path folder;
  setTestEnvironmentVariable("ProgramData", "/tmp/orvel-program-data");
  ASSERT_TRUE(Orvel::platform::programDataFolder(folder));
  EXPECT_EQ(folder, "/tmp/orvel-program-data");
  setTestEnvironmentVariable("ProgramData", "");
  ASSERT_TRUE(Orvel::platform::programDataFolder(folder));
  EXPECT_EQ(folder, "/usr/share") << "an empty value counts as unset";
  unsetTestEnvironmentVariable("ProgramData");
  ASSERT_TRUE(Orvel::platform::programDataFolder(folder));
  EXPECT_EQ(folder, "/usr/share");
}
