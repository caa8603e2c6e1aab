// One status line on a terminal while a long run goes: the time so far, what
// runs and how far ("[0:12] workflow run 3 of 100"). It lives on standard
// error, is redrawn in place and gives way to every other line: whatever the
// program writes to standard output or standard error goes through it, so
// that the line is erased first and drawn again below what was written, and
// erased for good at the end. The screen then ends as it would without it.
#pragma once
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace Orvel {

class ProgressLine {
 public:
  using Clock = std::chrono::steady_clock;

  // Where the line is drawn: the text to write there (carriage returns,
  // erase sequences and the line), the terminal's width in columns (0 when
  // not known), the time, and what gives the terminal back when the line is
  // closed (may be empty).
  struct Terminal {
    std::function<void(const std::string& text)> write;
    std::function<int()> columns;
    std::function<Clock::time_point()> now;
    std::function<void()> release;
  };

  // New text is drawn at most this often; a line that gave way to output is
  // put back at once, so that it does not vanish while the run waits.
  static constexpr std::chrono::milliseconds kFrameInterval{100};

  // The process-wide line on standard error; off until turnOn().
  static ProgressLine& instance();

  explicit ProgressLine(Terminal terminal);
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // Turns the process-wide line on when `wanted`, standard error is a
  // terminal and TERM is not "dumb"; its clock starts here. The line is
  // erased when the process exits.
  static void turnOnForStandardError(bool wanted);
  // Erases the process-wide line as the process ends on an interruption:
  // one write and no lock, safe in a signal handler.
  static void eraseOnInterruption();
  // Turns this line on; its clock starts here.
  void turnOn();
  // Erases the line, gives the terminal back and draws nothing more.
  void close();

  // What runs and how far at a depth: 0 for the steps of the program ("plugin
  // 4 of 12: VENDOR / PRODUCT", "manifest 431 of 1000"), 1 for the steps of
  // one verification run within it ("workflow run 3 of 100"). The parts are
  // shown side by side; setting one clears the deeper ones.
  void show(std::size_t depth, const std::string& text);

  // Writes the bytes to the stream with the line out of the way. While the
  // line is on, the stream is flushed before the line is drawn again.
  void write(std::FILE* stream, std::string_view bytes);
  // Calls `writeAll`, which writes to standard output or standard error and
  // flushes, with the line erased first; draws it again after, when
  // `endsLine` says that what was written ended with a line end.
  template <typename Write>
  void around(bool endsLine, Write&& writeAll) {
    const std::lock_guard<std::mutex> lock(mutex_);
    erase();
    writeAll();
    putBack(endsLine);
  }

 private:
  // Draws the parts with the time so far, unless that is what shows already,
  // when the cursor is at the start of a line. When `throttled`, only once
  // kFrameInterval has passed since the last frame.
  void draw(bool throttled);
  void erase();
  // After output: draws the line again when the output ended a line.
  void putBack(bool endsLine);
  // The line for the time `now`: the time so far and the parts, fitted to
  // the terminal's width; empty when there are no parts.
  std::string frame(Clock::time_point now) const;

  const Terminal terminal_;
  std::mutex mutex_;
  bool on_ = false;
  Clock::time_point started_;
  std::vector<std::string> parts_;
  // What the terminal shows now (empty: nothing), and when it was drawn.
  std::string shown_;
  // Whether shown_ is not empty, for a signal handler to read.
  std::atomic<bool> showing_{false};
  Clock::time_point shownAt_;
  bool everShown_ = false;
  // The last byte written to the terminal ended a line: the cursor is at the
  // start of an empty line, where the line may go.
  bool atLineStart_ = true;
};

}  // namespace Orvel
