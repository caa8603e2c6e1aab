// The parent's side of an isolated child: starts the verifier again, relays
// the child's standard output lines to this process's standard output as
// they come, and hands over the lines of the channel one by one. A channel
// line is handed over only after every output line written before it has
// been relayed.
//
// A child that answers many requests without waiting for the parent (the
// listing's) ends the output of each request with a mark. The output after
// a mark belongs to the next request: it is held back until the parent has
// written what it writes for the request before (see nextSegment).
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
  // `segmentMark`, when not empty, is the mark that ends the output of the
  // first request. Throws std::runtime_error when the child cannot start.
  explicit IsolatedChild(const std::vector<std::string>& arguments, std::string segmentMark = {});

  // The next channel line, relaying output meanwhile.
  Event next(std::string& line, std::optional<std::chrono::steady_clock::time_point> deadline);
  // Writes the lines (each with its line end) to the child's standard input;
  // false when it is gone.
  bool send(const std::string& lines);
  // After the channel line that answers a request: relays the output of that
  // request up to its mark (written before the answer) and lets the output of
  // the next request, which ends with `nextMark`, be relayed from the next
  // call of next() on.
  void nextSegment(std::string nextMark);
  // Kills the child (with `kill`) or lets it end, relays the rest of its
  // output, and tells how it ended. Output after a mark not yet passed is
  // dropped: it belongs to requests that the child did not answer.
  platform::ChildEnd finish(bool kill);

 private:
  // Reads what the output pipe holds, then relays what may be relayed.
  void relayOutput();
  // Relays the whole lines before the held part; at the end of the output
  // (and nothing held), a last line without a line end too.
  void relayBuffered();
  void relayRest();

  platform::ChildProcess process_;
  std::string segmentMark_;
  std::string output_;
  // Where the output of the current request ends in output_, once its mark
  // came (the mark itself is taken out).
  std::optional<std::size_t> segmentEnd_;
  std::string channel_;
  bool outputEnded_ = false;
};

}  // namespace Orvel::Verifier
