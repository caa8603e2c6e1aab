// Placeholder until the set mode lands.
#include "verifier/Modes.h"

#include <iostream>

namespace Orvel::Verifier {

int selectActivePlugin(const std::string&) {
  std::cout << "[Error] Setting the active plugin is not available in this build." << std::endl;
  return -1;
}

}  // namespace Orvel::Verifier
