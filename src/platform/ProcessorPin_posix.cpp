#include "platform/ProcessorPin.h"

#include <sched.h>

#include "platform/ProcessorAffinity.h"

namespace Orvel::platform {

struct ProcessorPin::Previous {
  cpu_set_t set;
};

ProcessorPin::ProcessorPin() {
  auto previous = std::make_unique<Previous>();
  // A machine with more processors than a cpu_set_t holds fails here: the
  // thread is then left as it is.
  if (sched_getaffinity(0, sizeof previous->set, &previous->set) != 0) return;
  const std::optional<Processor> processor = currentProcessor();
  if (!processor || !keepCurrentThreadOn(*processor)) return;
  previous_ = std::move(previous);
}

ProcessorPin::~ProcessorPin() {
  if (previous_) sched_setaffinity(0, sizeof previous_->set, &previous_->set);
}

}  // namespace Orvel::platform
