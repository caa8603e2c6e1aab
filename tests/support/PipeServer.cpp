#include "support/PipeServer.h"

#include <atomic>
#include <random>

namespace Orvel::Test {

std::string uniquePipeName(const std::string& purpose) {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  return "\\\\.\\pipe\\Orvel\\Test-" + purpose + "-" + std::to_string(random()) + "-" + std::to_string(++counter);
}

}  // namespace Orvel::Test
