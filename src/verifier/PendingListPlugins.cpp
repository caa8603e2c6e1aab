// Placeholder until the listing mode lands.
#include "verifier/Modes.h"

#include <iostream>

namespace Orvel::Verifier {

int listPlugins() {
  std::cout << "[Error] Listing installed plugins is not available in this build." << std::endl;
  return -1;
}

}  // namespace Orvel::Verifier
