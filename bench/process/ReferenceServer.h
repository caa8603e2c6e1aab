// The reference property server as a running process on the fixed pipe name,
// held under the pipe lock for its whole life. It serves every client of the
// set-mode figure in turn; its output goes to a file, so that no reader in
// this process wakes for its lines while a figure is measured.
#pragma once
#include <string>

#include "FixedPipeLock.h"
#include "common/ChildProgram.h"

namespace Orvel::Bench {

class ReferenceServer {
 public:
  // Starts the server and returns once it listens. Throws std::runtime_error
  // when it does not listen within a minute.
  explicit ReferenceServer(const std::string& program);

 private:
  FixedPipeLock lock_;   // taken before the server starts, given back after it has ended
  ChildProgram server_;  // killed and waited for when this object goes
};

}  // namespace Orvel::Bench
