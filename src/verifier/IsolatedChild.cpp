#include "verifier/IsolatedChild.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "verifier/CommandLine.h"

namespace Orvel::Verifier {

namespace {

constexpr int kLongestWaitMs = 1000;

// Takes the first whole line off the front of `buffer`, without its line end
// (a carriage return before the line feed goes too: a Windows child writes
// CR LF, and this process's own text mode writes its line ends again).
bool takeLine(std::string& buffer, std::string& line) {
  const std::size_t end = buffer.find('\n');
  if (end == std::string::npos) return false;
  const std::size_t length = end > 0 && buffer[end - 1] == '\r' ? end - 1 : end;
  line.assign(buffer, 0, length);
  buffer.erase(0, end + 1);
  return true;
}

}  // namespace

IsolatedChild::IsolatedChild(const std::vector<std::string>& arguments) : process_(kChildChannelKey, arguments) {
  if (!process_.started()) throw std::runtime_error("the child process for the isolated run did not start");
}

void IsolatedChild::relayOutput() {
  if (outputEnded_) return;
  const platform::ChildProcess::Read read = process_.readAvailable(platform::ChildProcess::Stream::Output, output_);
  if (read == platform::ChildProcess::Read::Ended) outputEnded_ = true;
  std::string text;
  std::string line;
  while (takeLine(output_, line)) text += line + "\n";
  if (outputEnded_ && !output_.empty()) {
    // A line cut off by the child's end still gets its own line.
    text += output_ + "\n";
    output_.clear();
  }
  if (!text.empty()) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
  }
}

void IsolatedChild::relayRest() {
  while (!outputEnded_) {
    relayOutput();
    if (!outputEnded_) process_.waitForData(kLongestWaitMs);
  }
}

IsolatedChild::Event IsolatedChild::next(std::string& line,
                                         std::optional<std::chrono::steady_clock::time_point> deadline) {
  using Read = platform::ChildProcess::Read;
  for (;;) {
    relayOutput();
    if (takeLine(channel_, line)) {
      // Output written before this line is in its pipe by now.
      relayOutput();
      return Event::Line;
    }
    const Read read = process_.readAvailable(platform::ChildProcess::Stream::Channel, channel_);
    if (read == Read::Data) continue;
    if (read == Read::Ended) {
      if (channel_.find('\n') != std::string::npos) continue;
      relayRest();
      return Event::Ended;
    }
    int waitMs = kLongestWaitMs;
    if (deadline) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return Event::Late;
      waitMs = static_cast<int>(std::min<std::chrono::milliseconds::rep>(left.count() + 1, kLongestWaitMs));
    }
    process_.waitForData(waitMs);
  }
}

bool IsolatedChild::send(const std::string& line) { return process_.writeInput(line + "\n"); }

platform::ChildEnd IsolatedChild::finish(bool kill) {
  if (kill) process_.kill();
  relayRest();
  return process_.wait();
}

}  // namespace Orvel::Verifier
