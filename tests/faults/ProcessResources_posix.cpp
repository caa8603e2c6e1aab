// Implementation here must contain only POSIX specific code.
#include "ProcessResources.h"

#include <filesystem>
#include <iterator>

namespace Orvel::Test {

namespace {

std::size_t entries(const char* folder) {
  const std::filesystem::directory_iterator listing(folder);
  return static_cast<std::size_t>(std::distance(begin(listing), end(listing)));
}

}  // namespace

// The listing itself holds one descriptor while it counts, every time alike.
std::size_t handleCount() { return entries("/proc/self/fd"); }

}  // namespace Orvel::Test
