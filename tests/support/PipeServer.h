// The server end of the pipe for tests: the one in src/ipc, plus pipe names
// that no other test or process uses.
#pragma once
#include <string>

#include "ipc/PipeServer.h"
#include "support/PipeConnection.h"

namespace Orvel::Test {

using Orvel::PipeServer;

// A pipe path no other test or process uses: "\\.\pipe\Orvel\Test-<purpose>-<random>".
std::string uniquePipeName(const std::string& purpose);

}  // namespace Orvel::Test
