#include "platform/ThreadHeaps.h"

// Any C library header says which C library this is (__GLIBC__).
#include <cstdlib>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace Orvel::platform {

void shareOneHeapAmongThreads() {
#if defined(__GLIBC__)
  // One arena, the main one: a thread that has no arena yet takes it.
  mallopt(M_ARENA_MAX, 1);
#endif
}

}  // namespace Orvel::platform
