#include "platform/ProcessorAffinity.h"

#include <sched.h>

namespace Orvel::platform {

std::optional<Processor> currentProcessor() {
  const int number = sched_getcpu();
  if (number < 0) return std::nullopt;
  return Processor{0, static_cast<std::uint32_t>(number)};
}

bool keepCurrentThreadOn(const Processor& processor) {
  if (processor.group != 0 || processor.number >= CPU_SETSIZE) return false;
  cpu_set_t set;
  CPU_ZERO(&set);
  CPU_SET(processor.number, &set);
  return sched_setaffinity(0, sizeof set, &set) == 0;
}

std::size_t usableProcessorCount() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) != 0) return 1;
  const int count = CPU_COUNT(&set);
  return count > 0 ? static_cast<std::size_t>(count) : 1;
}

}  // namespace Orvel::platform
