// The parent's side of an isolated child: starts the verifier again, relays
// the child's standard output to this process's standard output (or the
// calling thread's report sink, see ReportOutput.h) as it comes, and hands
// over the lines of the channel one by one. Relaying takes time in
// proportion to the output and bounded memory (a line longer than
// kLongestLine goes out in pieces), and takes turns with the channel, so
// that a child that writes without pause still has its channel read.
//
// The child's real end (its status from the system) is what ends the wait:
// after it, what is already in the pipes is read without waiting, and a
// process that the child left holding them is killed with it.
//
// Every channel line carries the run's random token, which the child is
// given with its channel; a line without it is no line of the child's.
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
    Line,    // a channel line, the token taken off
    Ended,   // the child ended; what it wrote on its channel was handed over
    Late,    // the deadline passed first
    Stray,   // a channel line without the run's token (in `line`, cut short)
    Broken,  // the channel ended, and the child went on running long after
  };

  // Longest piece of output held back waiting for its line end.
  static constexpr std::size_t kLongestLine = 65536;

  // Starts the child with the arguments (the marker argument is added).
  // `segmentMark`, when not empty, is the mark that ends the output of the
  // first request. Throws std::runtime_error when the child cannot start.
  explicit IsolatedChild(const std::vector<std::string>& arguments, std::string segmentMark = {});

  // The next channel line, relaying output meanwhile. Late is decided from
  // the channel as it is after reading what it holds, never from an older look.
  Event next(std::string& line, std::optional<std::chrono::steady_clock::time_point> deadline);
  // Writes the lines (each with its line end) to the child's standard input;
  // false when it is gone.
  bool send(const std::string& lines);
  // After the channel line that answers a request: relays the output of that
  // request up to its mark (written before the answer) and lets the output of
  // the next request, which ends with `nextMark`, be relayed from the next
  // call of next() on.
  void nextSegment(std::string nextMark);
  // Kills the child (with `kill`) or waits for its end, relays what its
  // output pipe holds, and tells how it ended. Output after a mark not yet
  // passed is dropped: it belongs to requests that the child did not answer.
  platform::ChildEnd finish(bool kill);

 private:
  // Reads one step of the output pipe, then relays what may be relayed;
  // true when something was read.
  bool relayOutput();
  // Relays the whole lines before the held part, and a piece of a line that
  // grew past kLongestLine; at the end of the output (and nothing held), a
  // last line without a line end too.
  void relayBuffered();
  // Takes the next whole channel line (token checked) into `line`.
  std::optional<Event> takeChannelLine(std::string& line);

  const std::string token_;
  platform::ChildProcess process_;
  std::string segmentMark_;
  // Output read and not relayed yet starts at outputStart_.
  std::string output_;
  std::size_t outputStart_ = 0;
  // Where to look for the mark next.
  std::size_t markSearch_ = 0;
  // Where the output of the current request ends in output_, once its mark
  // came (the mark itself is taken out).
  std::optional<std::size_t> segmentEnd_;
  std::string channel_;
  std::size_t channelStart_ = 0;
  bool outputEnded_ = false;
  bool channelEnded_ = false;
  bool childEnded_ = false;
  std::optional<std::chrono::steady_clock::time_point> channelEndedAt_;
};

}  // namespace Orvel::Verifier
