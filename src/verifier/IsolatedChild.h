// The parent's side of an isolated child: starts the verifier again, relays
// the child's standard output lines to this process's standard output as
// they come, and hands over the lines of the channel one by one. A channel
// line is handed over only after every output line written before it has
// been relayed.
#pragma once
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "platform/ChildProcess.h"

namespace Orvel::Verifier {

class IsolatedChild {
 public:
  enum class Event {
    Line,   // a channel line
    Ended,  // the channel ended: the child is ending; all its output was relayed
    Late,   // the deadline passed first
  };

  // Starts the child with the arguments (the marker argument is added).
  // Throws std::runtime_error when it cannot start.
  explicit IsolatedChild(const std::vector<std::string>& arguments);

  // The next channel line, relaying output meanwhile.
  Event next(std::string& line, std::optional<std::chrono::steady_clock::time_point> deadline);
  // Writes a line to the child's standard input; false when it is gone.
  bool send(const std::string& line);
  // Kills the child (with `kill`) or lets it end, relays the rest of its
  // output, and tells how it ended.
  platform::ChildEnd finish(bool kill);

 private:
  void relayOutput();
  void relayRest();

  platform::ChildProcess process_;
  std::string output_;
  std::string channel_;
  bool outputEnded_ = false;
};

}  // namespace Orvel::Verifier
