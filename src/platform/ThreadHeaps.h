// Where the allocations of threads started from now on are served.
#pragma once

namespace Orvel::platform {

// From now on, threads that allocate share the process's main heap instead of
// each making a heap of its own on its first allocation (glibc does, to spare
// threads that allocate side by side the wait for one lock). For a process
// whose threads take turns, each such heap only costs: on Linux, system calls
// to reserve and grow it and pages touched afresh. Windows threads share the
// process heap anyway: nothing changes there.
// Call it before a second thread of the process allocates: glibc fixes how
// many heaps it makes at that moment, for the rest of the process.
void shareOneHeapAmongThreads();

}  // namespace Orvel::platform
