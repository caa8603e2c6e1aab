// The exit status that a run's status becomes.
#pragma once

namespace Orvel::platform {

// Linux keeps 8 bits of an exit status: a count of failed checks above 254
// becomes 254, so that it never reads as success (256 would read 0) nor as
// -1 (255, an aborted run); -1 and smaller counts stay. Windows keeps the
// whole value.
int processExitStatus(int status);

}  // namespace Orvel::platform
