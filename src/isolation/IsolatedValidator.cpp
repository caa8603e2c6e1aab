#include "isolation/IsolatedValidator.h"

#include <cstdio>

#include "isolation/ChildProtocol.h"
#include "isolation/IsolatedChild.h"
#include "run/VerificationRun.h"
#include "tracking/ListingExplanation.h"

namespace Orvel::Verifier {

namespace {

using namespace ChildProtocol;
using Tracking::LibraryValidation;
using Kind = LibraryValidation::Kind;

// Reads one line of standard input without its line end, as std::getline
// does: false at the end of the input when nothing was read.
bool readInputLine(std::string& line) {
  line.clear();
  int c = 0;
  while ((c = std::getchar()) != EOF) {
    if (c == '\n') return true;
    line += static_cast<char>(c);
  }
  return !line.empty();
}

const char* kindWord(Kind kind) {
  switch (kind) {
    case Kind::Tracking: return "tracking";
    case Kind::MotionPlatform: return "motion";
    case Kind::Neither: break;
  }
  return "none";
}

Kind kindOfWord(const std::string& word) {
  if (word == "tracking") return Kind::Tracking;
  if (word == "motion") return Kind::MotionPlatform;
  return Kind::Neither;
}

}  // namespace

int serveValidations(platform::ParentChannel& channel, bool explain, bool asTracking) {
  Tracking::PluginDiscovery discovery;
  discovery.setErrorHandler([&channel](const std::string& error) {
    std::fflush(stdout);
    channel.writeLine(oneLine(std::string(kError) + error));
  });
  // Set mode prints report lines only; the listing prints log lines too.
  if (asTracking) discardLogLines();
  channel.writeLine(std::string(kReady));
  Tracking::PluginManifest manifest;
  std::size_t answers = 0;
  while (readInputLine(manifest.path)) {
    const auto detected = [&channel](Kind kind) { channel.writeLine(std::string(kKind) + kindWord(kind)); };
    const LibraryValidation result = asTracking ? Tracking::validateTrackingLibrary(discovery, manifest, detected)
                                                : Tracking::validateLibrary(discovery, manifest, detected);
    if (explain) {
      for (const std::string& text : Tracking::ListingExplanation::ofLibrary(manifest.path, result)) {
        channel.writeLine(oneLine(std::string(kWhy) + text));
      }
    }
    // Log lines written during the validation reach the pipe before the
    // mark, and the mark before the answer.
    const std::string mark = outputMark(++answers);
    std::fwrite(mark.data(), 1, mark.size(), stdout);
    std::fflush(stdout);
    channel.writeLine(std::string(kValid) + (result.valid ? "1" : "0"));
    channel.writeLine(std::string(kAnswered));
  }
  return 0;
}

namespace {

// At most this many bytes of paths wait unread in the child's input: less
// than the smallest pipe buffer, so that writing them never blocks while the
// child waits for this process to read its output. A path longer than that
// is sent alone, when the child has answered everything before it.
constexpr std::size_t kUnreadInputBytes = 4096;

}  // namespace

IsolatedValidator::IsolatedValidator(std::vector<std::string> arguments, std::uint32_t deadlineMs)
    : arguments_(std::move(arguments)), deadline_(deadlineMs) {}

IsolatedValidator::~IsolatedValidator() = default;

void IsolatedValidator::ask(const std::string& path) { queued_.push_back(oneLine(path) + "\n"); }

void IsolatedValidator::sendQueued() {
  // Topped up in batches, when half the allowance has been answered.
  if (sent_ > 0 && sentBytes_ > kUnreadInputBytes / 2) return;
  std::string batch;
  while (sent_ < queued_.size()) {
    const std::string& line = queued_[sent_];
    if (sent_ > 0 && sentBytes_ + line.size() > kUnreadInputBytes) break;
    batch += line;
    sentBytes_ += line.size();
    ++sent_;
  }
  // A child that is gone shows itself in its channel's end.
  if (!batch.empty()) child_->send(batch);
}

void IsolatedValidator::retire() {
  if (sent_ > 0) {
    --sent_;
    sentBytes_ -= queued_.front().size();
  }
  queued_.pop_front();
}

std::string IsolatedValidator::endChild(IsolatedChild::Event event) {
  const bool late = event == IsolatedChild::Event::Late;
  const platform::ChildEnd end = child_->finish(event != IsolatedChild::Event::Ended);
  child_.reset();
  // The next child is sent again what this one did not answer.
  sent_ = 0;
  sentBytes_ = 0;
  if (late) {
    return "The plugin did not answer within " + std::to_string(deadline_.count()) + " ms while it was validated";
  }
  if (event == IsolatedChild::Event::Stray) {
    return "The plugin wrote a line without the run's token on the channel while it was validated";
  }
  if (event == IsolatedChild::Event::Broken) return "The plugin closed the channel while it was validated";
  return end.kind == platform::ChildEnd::Kind::Crashed
             ? "The plugin crashed while it was validated: " + platform::describeCrash(end.code)
             : "The plugin ended the process while it was validated: exit status " + std::to_string(end.code);
}

LibraryValidation IsolatedValidator::answer(const Tracking::PluginDiscovery& discovery) {
  LibraryValidation result;
  if (!child_) {
    child_ = std::make_unique<IsolatedChild>(arguments_, outputMark(1));
    answers_ = 0;
    childReady_ = false;
  }
  sendQueued();
  // The deadline is the library's: a new child's own start does not count.
  std::optional<std::chrono::steady_clock::time_point> due;
  if (childReady_) due = std::chrono::steady_clock::now() + deadline_;
  std::string line;
  for (;;) {
    std::string rest;
    const IsolatedChild::Event event = child_->next(line, due);
    switch (event) {
      case IsolatedChild::Event::Line:
        if (line == kReady) {
          childReady_ = true;
          due = std::chrono::steady_clock::now() + deadline_;
        } else if (startsWith(line, kError, rest)) {
          discovery.reportError(rest);
        } else if (startsWith(line, kWhy, rest)) {
          result.why.push_back(rest);
        } else if (startsWith(line, kKind, rest)) {
          result.kind = kindOfWord(rest);
        } else if (startsWith(line, kValid, rest)) {
          result.valid = rest == "1";
        } else if (line == kAnswered) {
          child_->nextSegment(outputMark(++answers_ + 1));
          retire();
          return result;
        }
        break;
      case IsolatedChild::Event::Late:
      case IsolatedChild::Event::Ended:
      case IsolatedChild::Event::Stray:
      case IsolatedChild::Event::Broken:
        result.failure = endChild(event);
        retire();
        return result;
    }
  }
}

}  // namespace Orvel::Verifier
