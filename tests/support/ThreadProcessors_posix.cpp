// Implementation here must contain only POSIX specific code.
#include "support/ThreadProcessors.h"

#include <sched.h>

namespace Orvel::Test {

std::size_t allowedProcessorCount() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) != 0) return 0;
  return static_cast<std::size_t>(CPU_COUNT(&set));
}

}  // namespace Orvel::Test
