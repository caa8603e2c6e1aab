// The Linux client end of the pipe: what only its socket can tell.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ConnectedPair.h"
#include "ipc/ReadWritePipe.h"
#include "support/LogCapture.h"

namespace {

// Bytes written just before the server closes without reading them are
// dropped with its end: a flush after that must not count them as read.
// (A Windows pipe does not tell the two apart: its flush succeeds.)
TEST(ReadWritePipe, FlushAfterTheServerClosedWithoutReadingFails) {
  Orvel::Test::LogCapture log;
  auto pair = Orvel::Test::connectPairWithUnreadBytes("flush-after-close", 100);
  ASSERT_TRUE(pair.pipe);
  pair.connection.reset();  // closed and released
  EXPECT_FALSE(pair.pipe->flush());
  EXPECT_FALSE(pair.pipe->hasError());
  EXPECT_EQ(log.lines(), std::vector<std::string>{});
}

}  // namespace
