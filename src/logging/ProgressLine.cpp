#include "logging/ProgressLine.h"

#include <cstdlib>
#include <cstring>

#include "platform/Console.h"
#include "platform/Utf8Sequence.h"

namespace Orvel {

namespace {

constexpr char kEraseLine[] = "\r\x1b[K";
// The width assumed when the terminal does not tell its own.
constexpr int kDefaultColumns = 80;

// "[m:ss] ", the time since `started`.
std::string elapsedText(ProgressLine::Clock::duration elapsed) {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(elapsed).count();
  char text[32];
  std::snprintf(text, sizeof text, "[%lld:%02lld] ", static_cast<long long>(seconds / 60),
                static_cast<long long>(seconds % 60));
  return text;
}

// The text cut to `cells` columns, with every byte that could move the cursor
// or start a control sequence (control characters, C1 codes, bytes that are
// not UTF-8) shown as '?'. A character beyond ASCII counts as two columns, as
// a wide one takes: the line must never wrap, or its erasing would leave a
// row behind.
std::string fitted(std::string_view text, int cells) {
  std::string result;
  int used = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto byte = static_cast<unsigned char>(text[i]);
    std::size_t length = 1;
    int width = 1;
    bool keep = byte >= 0x20 && byte < 0x7F;
    if (byte >= 0x80) {
      length = platform::utf8SequenceLength(text.substr(i));
      keep = length > 0 && platform::utf8SequenceValue(text.substr(i), length) >= 0xA0;
      if (length == 0) length = 1;
      width = keep ? 2 : 1;
    }
    if (used + width > cells) break;
    if (keep) {
      result.append(text.substr(i, length));
    } else {
      result += '?';
    }
    used += width;
    i += length;
  }
  return result;
}

void closeAtExit() { ProgressLine::instance().close(); }

// The process-wide line once it is on, for a signal handler to find.
std::atomic<ProgressLine*> standardErrorLine{nullptr};

}  // namespace

ProgressLine& ProgressLine::instance() {
  // Never destroyed: plugin threads may still write while the process exits.
  static ProgressLine* const line = new ProgressLine(Terminal{
      [](const std::string& text) {
        std::fwrite(text.data(), 1, text.size(), stderr);
        std::fflush(stderr);
      },
      platform::terminalStandardErrorColumns, Clock::now, platform::restoreTerminalStandardError});
  return *line;
}

ProgressLine::ProgressLine(Terminal terminal) : terminal_(std::move(terminal)) {}

void ProgressLine::turnOnForStandardError(bool wanted) {
  if (!wanted) return;
  const char* term = std::getenv("TERM");
  if (term != nullptr && std::strcmp(term, "dumb") == 0) return;
  if (!platform::prepareTerminalStandardError()) return;
  instance().turnOn();
  standardErrorLine.store(&instance());
  std::atexit(closeAtExit);
}

void ProgressLine::eraseOnInterruption() {
  const ProgressLine* line = standardErrorLine.load();
  if (line != nullptr && line->showing_.load()) platform::writeStandardErrorAtOnce(kEraseLine, sizeof kEraseLine - 1);
  platform::restoreTerminalStandardError();
}

void ProgressLine::turnOn() {
  const std::lock_guard<std::mutex> lock(mutex_);
  on_ = true;
  started_ = terminal_.now();
}

void ProgressLine::close() {
  const std::lock_guard<std::mutex> lock(mutex_);
  erase();
  if (on_ && terminal_.release) terminal_.release();
  on_ = false;
}

void ProgressLine::show(std::size_t depth, const std::string& text) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (!on_) return;
  parts_.resize(depth + 1);
  parts_[depth] = text;
  draw(true);
}

void ProgressLine::write(std::FILE* stream, std::string_view bytes) {
  const std::lock_guard<std::mutex> lock(mutex_);
  erase();
  std::fwrite(bytes.data(), 1, bytes.size(), stream);
  if (!on_) return;
  std::fflush(stream);
  putBack(bytes.empty() ? atLineStart_ : bytes.back() == '\n');
}

void ProgressLine::putBack(bool endsLine) {
  atLineStart_ = endsLine;
  draw(false);
}

std::string ProgressLine::frame(Clock::time_point now) const {
  std::string text;
  for (const std::string& part : parts_) {
    if (part.empty()) continue;
    if (!text.empty()) text += ", ";
    text += part;
  }
  if (text.empty()) return text;
  const int columns = terminal_.columns();
  // The last column stays free: a terminal may wrap once it is written.
  const int cells = (columns > 1 ? columns : kDefaultColumns) - 1;
  return fitted(elapsedText(now - started_) + text, cells);
}

void ProgressLine::draw(bool throttled) {
  if (!on_ || !atLineStart_) return;
  const Clock::time_point now = terminal_.now();
  if (throttled && everShown_ && now - shownAt_ < kFrameInterval) return;
  const std::string line = frame(now);
  if (line == shown_) return;
  if (line.empty()) {
    erase();
    return;
  }
  terminal_.write('\r' + line + "\x1b[K");
  shown_ = line;
  showing_.store(true);
  shownAt_ = now;
  everShown_ = true;
}

void ProgressLine::erase() {
  if (shown_.empty()) return;
  terminal_.write(kEraseLine);
  shown_.clear();
  showing_.store(false);
}

}  // namespace Orvel
