#include <gtest/gtest.h>

#include "TestPlugins.h"
#include "platform/SharedLibrary.h"

namespace {

// The control for RuntimeDLL.FindsALibraryBesideThePlugin: Windows does not
// look in a plugin's own folder for the libraries it imports.
TEST(RuntimeDLL, PlainLoadMissesTheLibraryBesideThePlugin) {
  Orvel::platform::LibraryHandle plugin = Orvel::platform::loadLibrary(testPluginNativePath("tracking_uses_neighbour"));
  EXPECT_EQ(plugin, nullptr);
  if (plugin != nullptr) Orvel::platform::freeLibrary(plugin);
}

}  // namespace
