#include "DiscoveryFixture.h"
#include "platform/windows_include.h"

// An installer or editor may keep the manifest open for writing while the
// verifier lists plugins.
TEST_F(DiscoveryTest, ReadsAManifestThatAnotherHandleHoldsOpenForWriting) {
  const std::filesystem::path file =
      write("held.manifest", R"({"manifestFileVersion":"1.0.0.0","ID":"i","vendorName":"v","path":"p","productName":"n"})");
  const HANDLE held = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  Orvel::Tracking::PluginManifest manifest;
  const bool read = discovery.readManifest(file, manifest);
  CloseHandle(held);
  EXPECT_TRUE(read) << (errors.empty() ? "" : errors.front());
  EXPECT_EQ(manifest.productName, "n");
}
