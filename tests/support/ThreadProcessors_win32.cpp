// Implementation here must contain only Win32 specific code.
#include "support/ThreadProcessors.h"

#include <bitset>

#include "platform/windows_include.h"

namespace Orvel::Test {

std::size_t allowedProcessorCount() {
  GROUP_AFFINITY affinity{};
  if (!GetThreadGroupAffinity(GetCurrentThread(), &affinity)) return 0;
  return std::bitset<64>(static_cast<unsigned long long>(affinity.Mask)).count();
}

}  // namespace Orvel::Test
