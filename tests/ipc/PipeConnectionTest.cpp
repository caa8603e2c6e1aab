// The server end of a connection: the write that never waits, against a real client end.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "ipc/ReadWritePipe.h"
#include "support/PipeServer.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

bool readExactly(Orvel::ReadWritePipe& pipe, std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    auto got = static_cast<std::uint32_t>(size);
    if (!pipe.read(data, got)) return false;
    data += got;
    size -= got;
  }
  return true;
}

TEST(PipeConnection, WriteAvailableTakesWhatFitsNeverWaitsAndLosesNothing) {
  Orvel::Test::PipeServer server(Orvel::Test::uniquePipeName("write-available"), 4096);
  std::unique_ptr<Orvel::PipeConnection> connection;
  std::thread accepting([&] { connection = server.accept(std::chrono::seconds(20)); });
  const auto pipe = Orvel::ReadWritePipe::connect(server.name(), 20000);
  accepting.join();
  ASSERT_TRUE(pipe);
  ASSERT_TRUE(connection);

  // Bytes that differ from their neighbours, so that a lost or repeated piece shows.
  Bytes pattern(1024 * 1024);
  for (std::size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
  // The client does not read: the writes take what fits, then nothing, and
  // none of them waits. (A write that does not fit may be refused whole:
  // Windows pipes do so. Small writes fill the pipe first.)
  std::size_t written = 0;
  bool full = false;
  for (int i = 0; i < 100000 && !full && written < pattern.size(); ++i) {
    std::size_t size = std::min<std::size_t>(512, pattern.size() - written);
    ASSERT_TRUE(connection->writeAvailable(pattern.data() + written, size));
    full = size == 0;
    written += size;
  }
  ASSERT_TRUE(full) << "a client that does not read fills the pipe";
  ASSERT_GT(written, 0u);

  // The client gets exactly the bytes reported written, in order.
  Bytes received(written);
  ASSERT_TRUE(readExactly(*pipe, received.data(), received.size()));
  EXPECT_TRUE(std::equal(received.begin(), received.end(), pattern.begin())) << "bytes lost or repeated";

  // With room again, writing goes on where it stopped.
  std::size_t size = 100;
  ASSERT_TRUE(connection->writeAvailable(pattern.data() + written, size));
  ASSERT_EQ(size, 100u);
  ASSERT_TRUE(readExactly(*pipe, received.data(), size));
  EXPECT_TRUE(std::equal(received.begin(), received.begin() + 100, pattern.begin() + static_cast<std::ptrdiff_t>(written)));

  // A client that has gone ends the connection for the writer.
  pipe->close();
  bool ended = false;
  for (int i = 0; i < 500 && !ended; ++i) {
    size = 1;
    ended = !connection->writeAvailable(pattern.data(), size);
    if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(ended);
}

}  // namespace
