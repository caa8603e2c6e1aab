// Keeping a thread on one processor. Threads that hand work to each other in
// turn, and never need to run side by side, wake each other on the same
// processor far more cheaply than across processors: such a wake needs no
// interrupt to another processor, which on a virtual machine also costs an
// exit to the host and finds that processor asleep.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>

namespace Orvel::platform {

// A processor of this machine. Windows numbers processors within groups of up
// to 64; Linux has one group.
struct Processor {
  std::uint16_t group = 0;
  std::uint32_t number = 0;
};

// The processor that runs the calling thread at this moment; nullopt when the
// system cannot say.
std::optional<Processor> currentProcessor();

// Lets the calling thread run only on the given processor from now on. False
// when the system refuses (a processor this process may not use, or one that
// does not exist); the thread then runs where it could before.
bool keepCurrentThreadOn(const Processor& processor);

// The number of processors this process may run on (its affinity); at least 1.
std::size_t usableProcessorCount();

}  // namespace Orvel::platform
