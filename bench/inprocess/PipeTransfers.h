// Whole transfers on the client end of a pipe, for the bare limits that read
// and write frames by hand.
#pragma once
#include <cstdint>

#include "ipc/ReadWritePipe.h"

namespace Orvel::Bench {

// Reads exactly size bytes, in as many reads as the pipe needs.
inline bool readExactly(ReadWritePipe& pipe, std::uint8_t* data, std::uint32_t size) {
  while (size > 0) {
    std::uint32_t got = size;
    if (!pipe.read(data, got)) return false;
    data += got;
    size -= got;
  }
  return true;
}

// Writes every byte, waiting without limit.
inline bool writeAll(ReadWritePipe& pipe, const std::uint8_t* data, std::uint32_t size) {
  while (size > 0) {
    std::uint32_t written = size;
    if (!pipe.write(data, written, 0) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

}  // namespace Orvel::Bench
