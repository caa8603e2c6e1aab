#include "ReferenceServer.h"

#include <chrono>
#include <stdexcept>

namespace Orvel::Bench {

ReferenceServer::ReferenceServer(const std::string& program) : server_(program, {}) {
  // Lines that echo the options may come first; the listening line ends the start.
  if (!server_.started() || !server_.waitForLineStartingWith("listening on ", std::chrono::seconds(60))) {
    throw std::runtime_error("the reference server " + program + " did not start listening");
  }
}

}  // namespace Orvel::Bench
