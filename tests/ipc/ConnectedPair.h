// A server end and a client end of one real pipe, connected.
#pragma once
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ipc/ReadWritePipe.h"
#include "support/PipeServer.h"

namespace Orvel::Test {

struct ConnectedPair {
  std::unique_ptr<PipeServer> server;
  std::unique_ptr<PipeConnection> connection;
  std::shared_ptr<ReadWritePipe> pipe;
};

// A server on a pipe of its own whose system buffers hold bufferSize bytes,
// and one client connected to it. Either end is null when connecting failed.
inline ConnectedPair connectPair(const std::string& purpose, std::uint32_t bufferSize = 64 * 1024) {
  ConnectedPair pair;
  pair.server = std::make_unique<PipeServer>(uniquePipeName(purpose), bufferSize);
  std::thread accepting([&] { pair.connection = pair.server->accept(std::chrono::seconds(20)); });
  pair.pipe = ReadWritePipe::connect(pair.server->name(), 20000);
  accepting.join();
  return pair;
}

// The same, once the client has written count bytes that the server has not
// read; both ends are null when any step failed.
inline ConnectedPair connectPairWithUnreadBytes(const std::string& purpose, std::uint32_t count) {
  ConnectedPair pair = connectPair(purpose);
  const std::vector<std::uint8_t> bytes(count, 0x42);
  std::uint32_t size = count;
  if (!pair.pipe || !pair.connection || !pair.pipe->write(bytes.data(), size, 0) || size != count) return {};
  return pair;
}

}  // namespace Orvel::Test
