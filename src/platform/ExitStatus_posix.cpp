#include "platform/ExitStatus.h"

namespace Orvel::platform {

namespace {

constexpr int kLargestCount = 254;

}  // namespace

int processExitStatus(int status) { return status > kLargestCount ? kLargestCount : status; }

}  // namespace Orvel::platform
