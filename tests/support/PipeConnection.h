// The server end of one connected client, as the tests name it.
#pragma once
#include "ipc/PipeConnection.h"

namespace Orvel::Test {

using Orvel::PipeConnection;

}  // namespace Orvel::Test
