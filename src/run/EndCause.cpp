#include "run/EndCause.h"

#include "platform/ChildProcess.h"

namespace Orvel::Verifier {

std::string crashCause(std::int64_t code, bool callUnderWay) {
  return std::string(callUnderWay ? "the plugin crashed: " : "the plugin crashed after the run: ") +
         platform::describeCrash(code);
}

std::string exitCause(std::int64_t status, bool callUnderWay) {
  return std::string(callUnderWay ? "the plugin ended the process" : "the plugin ended the process after the run") +
         " (exit status " + std::to_string(status) + ")";
}

}  // namespace Orvel::Verifier
