#include "isolation/IsolatedChild.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <stdexcept>
#include <string_view>

#include "isolation/ChildProtocol.h"
#include "tracking/ReportOutput.h"

namespace Orvel::Verifier {

namespace {

using Clock = std::chrono::steady_clock;
using Read = platform::ChildProcess::Read;
using Stream = platform::ChildProcess::Stream;

constexpr int kLongestWaitMs = 1000;
// Output after a mark waits in its pipe once this much of it is held.
constexpr std::size_t kLongestHeldOutput = 1 << 20;
// What is read of the output once the child has ended: what the pipe holds,
// and not what a process that escaped the kill could go on writing.
constexpr std::size_t kLongestRest = 16 << 20;
// A channel line longer than this is no line of the child's.
constexpr std::size_t kLongestChannelLine = 16 << 20;
// A channel that ended this long before the child did was closed by the plugin.
constexpr std::chrono::milliseconds kChannelEndGrace(5000);

// A token that no plugin guesses: 128 bits from the system's random source.
std::string randomToken() {
  std::random_device source;
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string token;
  for (int i = 0; i < 4; ++i) {
    std::uint32_t bits = source();
    for (int j = 0; j < 8; ++j, bits >>= 4) token += kDigits[bits & 0xF];
  }
  return token;
}

// Writes the bytes as report text (to standard output, or the thread's sink)
// with the carriage return of each CR LF taken out: a Windows child writes CR
// LF, and this process's own text mode writes its line ends again. Written in
// place, without a copy.
void writeWithoutCarriageReturns(std::string_view bytes) {
  std::size_t from = 0;
  for (;;) {
    const std::size_t pair = bytes.find("\r\n", from);
    const std::size_t end = pair == std::string_view::npos ? bytes.size() : pair;
    Tracking::writeReportBytes(bytes.substr(from, end - from));
    if (pair == std::string_view::npos) return;
    from = pair + 1;
  }
}

}  // namespace

IsolatedChild::IsolatedChild(const std::vector<std::string>& arguments, std::string segmentMark)
    : token_(randomToken()),
      process_({{}, arguments}, ChildProtocol::kChildChannelKey, token_),
      segmentMark_(std::move(segmentMark)) {
  if (!process_.started()) throw std::runtime_error("the child process for the isolated run did not start");
}

bool IsolatedChild::relayOutput() {
  bool came = false;
  const bool holding = segmentEnd_ && output_.size() - *segmentEnd_ > kLongestHeldOutput;
  if (!outputEnded_ && !holding) {
    const Read read = process_.readAvailable(Stream::Output, output_);
    outputEnded_ = read == Read::Ended;
    came = read == Read::Data;
  }
  relayBuffered();
  return came;
}

void IsolatedChild::relayBuffered() {
  if (!segmentEnd_ && !segmentMark_.empty()) {
    const std::size_t mark = output_.find(segmentMark_, std::max(markSearch_, outputStart_));
    if (mark != std::string::npos) {
      output_.erase(mark, segmentMark_.size());
      segmentEnd_ = mark;
    } else {
      // A mark cut in two by a read is found whole next time.
      markSearch_ = output_.size() >= segmentMark_.size() ? output_.size() - segmentMark_.size() + 1 : 0;
    }
  }
  const std::size_t limit = segmentEnd_ ? *segmentEnd_ : output_.size();
  std::size_t end = outputStart_;
  if (limit > outputStart_) {
    const std::size_t lastLineEnd = output_.rfind('\n', limit - 1);
    if (lastLineEnd != std::string::npos && lastLineEnd >= outputStart_) end = lastLineEnd + 1;
  }
  const std::size_t relayed = end;
  if (outputEnded_ && !segmentEnd_) {
    // A line cut off by the child's end still gets its own line.
    end = output_.size();
  } else {
    // A line that grew too long goes out in pieces; the bytes that may begin
    // an awaited mark, and a carriage return whose line feed may follow, wait.
    std::size_t pieceEnd = limit;
    if (!segmentEnd_ && !segmentMark_.empty()) pieceEnd -= std::min(pieceEnd, segmentMark_.size());
    if (pieceEnd > end && output_[pieceEnd - 1] == '\r') --pieceEnd;
    if (pieceEnd > end && limit - end > kLongestLine) end = pieceEnd;
  }
  if (end > outputStart_) {
    writeWithoutCarriageReturns(std::string_view(output_).substr(outputStart_, end - outputStart_));
    if (outputEnded_ && !segmentEnd_ && end > relayed) Tracking::writeReportBytes("\n");
    Tracking::flushReport();
  }
  outputStart_ = end;
  // What was relayed leaves the buffer once it is most of it: each byte is
  // moved a bounded number of times.
  if (outputStart_ > kLongestLine && outputStart_ * 2 > output_.size()) {
    output_.erase(0, outputStart_);
    if (segmentEnd_) *segmentEnd_ -= outputStart_;
    markSearch_ = markSearch_ > outputStart_ ? markSearch_ - outputStart_ : 0;
    outputStart_ = 0;
  }
}

std::optional<IsolatedChild::Event> IsolatedChild::takeChannelLine(std::string& line) {
  const std::size_t end = channel_.find('\n', channelStart_);
  if (end == std::string::npos) {
    if (channel_.size() - channelStart_ > kLongestChannelLine) {
      line = channel_.substr(channelStart_, 80);
      channel_.clear();
      channelStart_ = 0;
      return Event::Stray;
    }
    return std::nullopt;
  }
  std::string_view raw(channel_.data() + channelStart_, end - channelStart_);
  if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
  const std::string prefix = token_ + " ";
  Event event = Event::Line;
  if (raw.substr(0, prefix.size()) == prefix) {
    line.assign(raw.substr(prefix.size()));
  } else {
    line.assign(raw.substr(0, 80));
    event = Event::Stray;
  }
  channelStart_ = end + 1;
  if (channelStart_ == channel_.size()) {
    channel_.clear();
    channelStart_ = 0;
  }
  return event;
}

void IsolatedChild::nextSegment(std::string nextMark) {
  // The mark was written before the answer, so it is in the pipe by now. A
  // child whose standard output the plugin closed writes no mark: its
  // output is relayed as it comes.
  while (relayOutput() && !segmentEnd_) {
  }
  if (segmentEnd_) markSearch_ = *segmentEnd_;
  segmentEnd_.reset();
  segmentMark_ = std::move(nextMark);
}

IsolatedChild::Event IsolatedChild::next(std::string& line, std::optional<Clock::time_point> deadline) {
  for (;;) {
    if (const std::optional<Event> event = takeChannelLine(line)) return *event;
    if (childEnded_) return Event::Ended;
    Read read = Read::Ended;
    if (!channelEnded_) read = process_.readAvailable(Stream::Channel, channel_);
    channelEnded_ = read == Read::Ended;
    const bool outputCame = relayOutput();
    if (read == Read::Data) continue;
    if (process_.hasEnded()) {
      // The child's end ends the wait. What it wrote on its channel is in the
      // pipe by now; a process it left may hold the pipe, so the rest is read
      // without waiting for its end.
      childEnded_ = true;
      std::size_t rest = 0;
      while (!channelEnded_ && rest < kLongestChannelLine) {
        const std::size_t before = channel_.size();
        read = process_.readAvailable(Stream::Channel, channel_);
        channelEnded_ = read == Read::Ended;
        if (read != Read::Data) break;
        rest += channel_.size() - before;
      }
      continue;
    }
    const Clock::time_point now = Clock::now();
    if (channelEnded_) {
      if (!channelEndedAt_) channelEndedAt_ = now;
      if (now - *channelEndedAt_ >= kChannelEndGrace) return Event::Broken;
    }
    int waitMs = kLongestWaitMs;
    if (deadline) {
      if (now >= *deadline) {
        // The relay may have taken the time: the channel as it is now decides.
        if (!channelEnded_ && process_.readAvailable(Stream::Channel, channel_) == Read::Data) continue;
        return Event::Late;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - now);
      waitMs = static_cast<int>(std::min<std::chrono::milliseconds::rep>(left.count() + 1, kLongestWaitMs));
    }
    if (outputCame) continue;
    const bool holding = segmentEnd_ && output_.size() - *segmentEnd_ > kLongestHeldOutput;
    process_.waitForData(waitMs, !holding);
  }
}

bool IsolatedChild::send(const std::string& lines) { return process_.writeInput(lines); }

platform::ChildEnd IsolatedChild::finish(bool kill) {
  if (kill) process_.kill();
  const platform::ChildEnd end = process_.wait();
  // What the output pipe holds now is relayed; nothing is waited for.
  std::size_t rest = 0;
  while (!outputEnded_ && rest < kLongestRest) {
    const std::size_t before = output_.size();
    const Read read = process_.readAvailable(Stream::Output, output_);
    outputEnded_ = read == Read::Ended;
    if (read != Read::Data) break;
    rest += output_.size() - before;
    relayBuffered();
  }
  outputEnded_ = true;
  if (segmentEnd_) {
    output_.resize(*segmentEnd_);
    segmentEnd_.reset();
  }
  segmentMark_.clear();
  relayBuffered();
  return end;
}

}  // namespace Orvel::Verifier
