// Making the pages of a fresh block of memory present in one request.
// New memory gets its pages from the system one at a time, each on its first
// write, and each such page costs a fault; on a virtual machine, where a
// fault also costs the host work, a few microseconds. A block that is about to
// be written whole is cheaper made present in one request.
#pragma once
#include <cstddef>

namespace Orvel::platform {

// Makes the whole pages inside [data, data + size) present and writable, as
// a write to each would; their contents stay as they are. Only a hint: true
// when it was taken. Linux: madvise(MADV_POPULATE_WRITE), from kernel 5.14;
// older kernels, and Windows, do nothing.
bool makePagesPresent(void* data, std::size_t size);

}  // namespace Orvel::platform
