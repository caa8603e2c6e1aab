#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "state/ClientRole.h"
#include "support/LogCapture.h"

using Orvel::State::ClientRole;
using Orvel::State::clientRoleToString;

namespace {

TEST(ClientRole, EveryNumberHasItsProtocolName) {
  const std::vector<std::string> expected = {
      "ALL",           "HMD_SERVER",   "COMPOSITOR",          "TRACKING",      "PROCESS_SERVER", "BASE",
      "HOME",          "PROPERTY_UTIL", "PROPERTY_SERVER",    "OPENVR_DRIVER", "UNITY_PLUGIN",   "GAZE_TRACKING",
      "HAND_TRACKING", "OFFLINE_TOOL", "OPENXR",              "IPC_FILE_RECORDER", "RUNTIME",    "APPLICATION",
      "HAL_DAEMON",    "CONTROLLER_TRACKING", "SLAM_TRACKING", "UNKNOWN"};
  Orvel::Test::LogCapture capture;
  for (std::uint32_t value = 0; value < expected.size(); ++value) {
    EXPECT_EQ(clientRoleToString(static_cast<ClientRole>(value)), expected[value]) << "role " << value;
  }
  EXPECT_TRUE(capture.lines().empty());
}

TEST(ClientRole, NumberOutsideTheTableFailsVerifyAndIsUnidentified) {
  Orvel::Test::LogCapture capture;
  EXPECT_EQ(clientRoleToString(static_cast<ClientRole>(22)), "unidentified");
  EXPECT_EQ(clientRoleToString(static_cast<ClientRole>(0xFFFFFFFFu)), "unidentified");
  const auto lines = capture.lines();
  ASSERT_EQ(lines.size(), 2u);
  const std::regex expected(
      R"( ERR \[Orvel::State::clientRoleToString\] Verify \(assertion\) failed for: 'Unidentified client' in '.*ClientRole\.cpp' : [0-9]+)");
  for (const auto& line : lines) EXPECT_TRUE(std::regex_match(line, expected)) << line;
}

}  // namespace
