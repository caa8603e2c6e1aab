// Keeps the calling thread on the processor that runs it when the pin is
// made, until the pin is destroyed; the thread may then run wherever it could
// before. Where the system cannot say or refuses, the thread is left as it
// was. On Linux, threads started meanwhile keep the pin (a new thread inherits
// its creator's processors); on Windows they do not. Destroy a pin on the
// thread that made it.
#pragma once
#include <memory>

namespace Orvel::platform {

class ProcessorPin {
 public:
  ProcessorPin();
  ~ProcessorPin();
  ProcessorPin(const ProcessorPin&) = delete;
  ProcessorPin& operator=(const ProcessorPin&) = delete;

  // Whether the thread was kept on one processor.
  bool pinned() const { return previous_ != nullptr; }

 private:
  struct Previous;                     // the processors the thread could use before
  std::unique_ptr<Previous> previous_;  // null when nothing was changed
};

}  // namespace Orvel::platform
