// Implementation here must contain only Win32 specific code.
#include "platform/ProcessorAffinity.h"

#include "platform/windows_include.h"

namespace Orvel::platform {

std::optional<Processor> currentProcessor() {
  PROCESSOR_NUMBER number{};
  GetCurrentProcessorNumberEx(&number);
  return Processor{number.Group, number.Number};
}

bool keepCurrentThreadOn(const Processor& processor) {
  if (processor.number >= 64) return false;
  GROUP_AFFINITY affinity{};
  affinity.Group = processor.group;
  affinity.Mask = static_cast<KAFFINITY>(1) << processor.number;
  return SetThreadGroupAffinity(GetCurrentThread(), &affinity, nullptr) != FALSE;
}

std::size_t usableProcessorCount() {
  DWORD_PTR process = 0;
  DWORD_PTR system = 0;
  if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system) || process == 0) return 1;
  std::size_t count = 0;
  for (; process != 0; process &= process - 1) ++count;
  return count;
}

}  // namespace Orvel::platform
