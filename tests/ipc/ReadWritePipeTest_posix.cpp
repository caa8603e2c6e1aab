// The Linux client end of the pipe: what only its socket can tell.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ConnectedPair.h"
#include "ipc/ReadWritePipe.h"
#include "support/LogCapture.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Orvel::Test::connectPair;

// Bytes written just before the server closes without reading them are
// dropped with its end: a flush after that must not count them as read.
// (A Windows pipe does not tell the two apart: its flush succeeds.)
TEST(ReadWritePipe, FlushAfterTheServerClosedWithoutReadingFails) {
  Orvel::Test::LogCapture log;
  auto pair = connectPair("flush-after-close");
  ASSERT_TRUE(pair.pipe);
  ASSERT_TRUE(pair.connection);
  const Bytes sent(100, 0x43);
  std::uint32_t size = static_cast<std::uint32_t>(sent.size());
  ASSERT_TRUE(pair.pipe->write(sent.data(), size, 0));
  pair.connection.reset();  // closed and released
  EXPECT_FALSE(pair.pipe->flush());
  EXPECT_FALSE(pair.pipe->hasError());
  EXPECT_EQ(log.lines(), std::vector<std::string>{});
}

}  // namespace
