// What the test process holds from the system right now, to show that
// connections give back every thread and handle they take. One
// implementation per platform sits beside this header.
#pragma once
#include <cstddef>

namespace Orvel::Test {

// Threads of this process.
std::size_t threadCount();
// Open handles (Windows) or file descriptors (Linux) of this process.
std::size_t handleCount();

}  // namespace Orvel::Test
