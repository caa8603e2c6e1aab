// The server end of a connection against a real client end: the write that
// never waits, and reading frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ConnectedPair.h"
#include "ipc/LayerByteMessage.h"
#include "ipc/ReadWritePipe.h"
#include "support/FrameBytes.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

bool writeExactly(Orvel::ReadWritePipe& pipe, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    auto put = static_cast<std::uint32_t>(std::min<std::size_t>(size, 1u << 20));
    if (!pipe.write(data, put, 0)) return false;
    data += put;
    size -= put;
  }
  return true;
}

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
  const auto pair = Orvel::Test::connectPair("write-available", 4096);
  const auto& pipe = pair.pipe;
  const auto& connection = pair.connection;
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

// A write of more than the pipe holds while the client reads in small pieces:
// the part taken at once and the rest written after it arrive exactly once,
// in order.
TEST(PipeConnection, WriteAvailableOfMoreThanThePipeHoldsLosesNothingWhileTheClientReads) {
  Bytes pattern(4u << 20);
  for (std::size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const auto pair = Orvel::Test::connectPair("write-available-large");
    ASSERT_TRUE(pair.pipe);
    ASSERT_TRUE(pair.connection);
    Bytes received;
    std::thread reading([&] {
      std::uint8_t piece[2048];
      while (received.size() < pattern.size()) {
        std::uint32_t size = sizeof piece;
        if (!pair.pipe->read(piece, size)) return;
        received.insert(received.end(), piece, piece + size);
      }
    });
    std::size_t taken = pattern.size();
    const bool written = pair.connection->writeAvailable(pattern.data(), taken) &&
                         pair.connection->writeAll(pattern.data() + taken, pattern.size() - taken);
    if (!written) pair.pipe->close();  // ends the client's read
    reading.join();
    ASSERT_TRUE(written);
    EXPECT_TRUE(received == pattern) << "bytes lost or repeated";
  }
}

// readFrame refuses a frame longer than the ceiling and reads past all of
// it: what its payload holds is never taken for a frame, and the frame after
// it is read whole.
TEST(PipeConnection, ReadFrameSkipsAFrameTooLongToAcceptWithoutLookingInside) {
  const auto pair = Orvel::Test::connectPair("read-frame-too-long");
  ASSERT_TRUE(pair.pipe);
  ASSERT_TRUE(pair.connection);
  const Bytes hidden = Orvel::Test::frameBytes("PropertyUpdateToClient", {1, 2, 3});
  Bytes payload(Orvel::LayerByteMessage::kMaximumFrameLength, 'x');
  std::copy(hidden.begin(), hidden.end(), payload.begin());
  const Bytes tooLong = Orvel::Test::frameBytes("Long", payload);
  const Bytes after = Orvel::Test::frameBytes("After", {4});
  const Bytes endless = {0xFF, 0xFF, 0xFF, 0xFF, 'o', 'r', 'v', 'e'};  // announces 4 GiB - 1

  // Written on a thread of its own: the reads below make room for it.
  bool written = true;
  std::thread writing([&] {
    for (const Bytes* part : {&tooLong, &after, &endless, &hidden, &after}) {
      written = written && writeExactly(*pair.pipe, part->data(), part->size());
    }
    pair.pipe->close();
  });
  const auto bound = std::chrono::seconds(20);
  std::vector<std::string> read;
  Orvel::PipeConnection::Frame frame;
  for (int call = 0; call < 4; ++call) {
    read.push_back(pair.connection->readFrame(frame, bound) ? frame.name : "refused");
  }
  pair.connection->close();  // ends a write that the reads left waiting
  writing.join();
  EXPECT_TRUE(written);
  // The frame after the long one; then the endless one is read past up to
  // the end of the stream.
  EXPECT_EQ(read, (std::vector<std::string>{"refused", "After", "refused", "refused"}));
}

}  // namespace
