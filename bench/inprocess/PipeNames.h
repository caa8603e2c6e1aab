// Private pipe names, so that benchmarks never meet a running server or
// another run of this program.
#pragma once
#include <unistd.h>

#include <atomic>
#include <string>

namespace Orvel::Bench {

inline std::string uniquePipeName(const std::string& purpose) {
  static std::atomic<int> next{0};
  return "\\\\.\\pipe\\Orvel\\bench-" + purpose + "-" + std::to_string(::getpid()) + "-" + std::to_string(++next);
}

}  // namespace Orvel::Bench
