// Implementation here must contain only Win32 specific code.
#include "platform/ProcessorPin.h"

#include "platform/ProcessorAffinity.h"
#include "platform/windows_include.h"

namespace Orvel::platform {

struct ProcessorPin::Previous {
  GROUP_AFFINITY affinity;
};

ProcessorPin::ProcessorPin() {
  auto previous = std::make_unique<Previous>();
  if (!GetThreadGroupAffinity(GetCurrentThread(), &previous->affinity)) return;
  const std::optional<Processor> processor = currentProcessor();
  if (!processor || !keepCurrentThreadOn(*processor)) return;
  previous_ = std::move(previous);
}

ProcessorPin::~ProcessorPin() {
  if (previous_) SetThreadGroupAffinity(GetCurrentThread(), &previous_->affinity, nullptr);
}

}  // namespace Orvel::platform
