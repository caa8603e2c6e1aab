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

IsolatedChild::IsolatedChild(const std::vector<std::string>& arguments, std::string segmentMark)
    : process_({{}, arguments}, kChildChannelKey), segmentMark_(std::move(segmentMark)) {
  if (!process_.started()) throw std::runtime_error("the child process for the isolated run did not start");
}

void IsolatedChild::relayOutput() {
  if (!outputEnded_ &&
      process_.readAvailable(platform::ChildProcess::Stream::Output, output_) == platform::ChildProcess::Read::Ended) {
    outputEnded_ = true;
  }
  relayBuffered();
}

void IsolatedChild::relayBuffered() {
  if (!segmentEnd_ && !segmentMark_.empty()) {
    const std::size_t mark = output_.find(segmentMark_);
    if (mark != std::string::npos) {
      output_.erase(mark, segmentMark_.size());
      segmentEnd_ = mark;
    }
  }
  std::string held;
  if (segmentEnd_) {
    held = output_.substr(*segmentEnd_);
    output_.resize(*segmentEnd_);
  }
  std::string text;
  std::string line;
  while (takeLine(output_, line)) text += line + "\n";
  if (outputEnded_ && !segmentEnd_ && !output_.empty()) {
    // A line cut off by the child's end still gets its own line.
    text += output_ + "\n";
    output_.clear();
  }
  // A part of a line before the mark stays in front of what follows it.
  if (segmentEnd_) segmentEnd_ = output_.size();
  output_ += held;
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

void IsolatedChild::nextSegment(std::string nextMark) {
  // The mark was written before the answer, so it is in the pipe by now. A
  // child whose standard output the plugin closed writes no mark: its
  // output is relayed as it comes.
  relayOutput();
  segmentEnd_.reset();
  segmentMark_ = std::move(nextMark);
}

IsolatedChild::Event IsolatedChild::next(std::string& line,
                                         std::optional<std::chrono::steady_clock::time_point> deadline) {
  using Read = platform::ChildProcess::Read;
  for (;;) {
    relayBuffered();
    if (takeLine(channel_, line)) return Event::Line;
    const Read read = process_.readAvailable(platform::ChildProcess::Stream::Channel, channel_);
    // Output written before what came on the channel is in its pipe by now.
    relayOutput();
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

bool IsolatedChild::send(const std::string& lines) { return process_.writeInput(lines); }

platform::ChildEnd IsolatedChild::finish(bool kill) {
  if (kill) process_.kill();
  relayRest();
  if (segmentEnd_) {
    output_.resize(*segmentEnd_);
    segmentEnd_.reset();
    relayBuffered();
  }
  return process_.wait();
}

}  // namespace Orvel::Verifier
