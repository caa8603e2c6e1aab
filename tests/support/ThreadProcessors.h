// How many processors the calling thread may run on, as the system records
// it: the tests check with it that a thread was kept on one processor, and
// let go again.
#pragma once
#include <cstddef>

namespace Orvel::Test {

// 0 when the system cannot say.
std::size_t allowedProcessorCount();

}  // namespace Orvel::Test
