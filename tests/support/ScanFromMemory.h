// Feeds a FrameScanner from memory as the receiver thread feeds it from its
// stream, for the scanner's tests and its fuzz target.
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "ipc/FrameScanner.h"
#include "ipc/IncomingMessage.h"

namespace Orvel::Test {

// Runs scanner over stream until a failed read ends the run. Each read takes
// at most the next of chunks (used in turn, again from the first after the
// last) and what is left of stream; a read once stream is used up fails.
// onStep sees every step first, a Read step before its bytes are in place:
// it may replace message after a Message step.
template <typename OnStep>
void scanFromMemory(FrameScanner& scanner, IncomingMessage& message, const std::vector<std::uint8_t>& stream,
                    const std::vector<std::uint32_t>& chunks, OnStep&& onStep) {
  std::size_t position = 0;
  for (std::size_t reads = 0;;) {
    const FrameScanner::Step step = scanner.next(message);
    onStep(step);
    if (step.action != FrameScanner::Action::Read) continue;
    const std::size_t size = std::min<std::size_t>({step.size, chunks[reads++ % chunks.size()], stream.size() - position});
    if (size == 0) {
      if (scanner.readFailed(message)) return;
      continue;
    }
    std::memcpy(step.data, stream.data() + position, size);
    position += size;
    scanner.received(static_cast<std::uint32_t>(size));
  }
}

}  // namespace Orvel::Test
