#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "logging/ProgressLine.h"

namespace Orvel::ProgressLineTests {

using namespace std::chrono_literals;
using Clock = ProgressLine::Clock;

// A line on a terminal whose clock and width the test sets. The output it
// gives way to and the line itself land in one file, in the order a terminal
// would receive them.
struct FakeTerminal {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file{std::tmpfile(), std::fclose};
  Clock::time_point now{};
  int columns = 80;
  ProgressLine line{ProgressLine::Terminal{
      [this](const std::string& text) {
        std::fwrite(text.data(), 1, text.size(), file.get());
        std::fflush(file.get());
      },
      [this] { return columns; }, [this] { return now; }, {}}};

  std::string bytes() {
    std::fflush(file.get());
    std::rewind(file.get());
    std::string all;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) all.append(buffer, got);
    std::fseek(file.get(), 0, SEEK_END);
    return all;
  }
  void output(const std::string& text) { line.write(file.get(), text); }
};

// The rows a terminal shows after the bytes: a carriage return goes to the
// start of the row, ESC [ K erases to its end, a line feed starts a new row.
std::vector<std::string> screen(const std::string& bytes) {
  std::vector<std::string> rows(1);
  std::size_t column = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    std::string& row = rows.back();
    if (bytes.compare(i, 3, "\x1b[K") == 0) {
      row.resize(std::min(row.size(), column));
      i += 2;
    } else if (bytes[i] == '\r') {
      column = 0;
    } else if (bytes[i] == '\n') {
      rows.emplace_back();
      column = 0;
    } else {
      if (column < row.size()) {
        row[column] = bytes[i];
      } else {
        row += bytes[i];
      }
      ++column;
    }
  }
  return rows;
}

TEST(ProgressLine, DrawsNewTextAtMostTenTimesASecondWithTheTimeSoFar) {
  FakeTerminal terminal;
  terminal.line.turnOn();
  struct Step {
    Clock::duration at;
    const char* text;
    const char* drawn;  // what the terminal receives, "" for nothing
  };
  const Step steps[] = {
      {0ms, "workflow run 1 of 3", "\r[0:00] workflow run 1 of 3\x1b[K"},
      {50ms, "workflow run 2 of 3", ""},
      {99ms, "workflow run 2 of 3", ""},
      {100ms, "workflow run 2 of 3", "\r[0:00] workflow run 2 of 3\x1b[K"},
      {300ms, "workflow run 2 of 3", ""},  // nothing changed
      {75s, "workflow run 3 of 3", "\r[1:15] workflow run 3 of 3\x1b[K"},
      {3601s, "workflow run 3 of 3", "\r[60:01] workflow run 3 of 3\x1b[K"},
  };
  std::string expected;
  for (const Step& step : steps) {
    terminal.now = Clock::time_point{} + step.at;
    terminal.line.show(1, step.text);
    expected += step.drawn;
    EXPECT_EQ(terminal.bytes(), expected) << "at " << step.text;
  }
}

TEST(ProgressLine, GivesWayToOutputAndComesBackBelowIt) {
  FakeTerminal terminal;
  terminal.line.turnOn();
  terminal.line.show(0, "manifest 1 of 2");
  terminal.output("Found manifest file\n");
  // Half a line: the line waits until the cursor is at the start of a row.
  terminal.output("partial");
  terminal.now += 1s;
  terminal.line.show(0, "manifest 2 of 2");
  terminal.output(" line\n");
  EXPECT_EQ(terminal.bytes(),
            "\r[0:00] manifest 1 of 2\x1b[K"
            "\r\x1b[K" "Found manifest file\n" "\r[0:00] manifest 1 of 2\x1b[K"
            "\r\x1b[K" "partial"
            " line\n" "\r[0:01] manifest 2 of 2\x1b[K");
  terminal.line.close();
  terminal.line.show(0, "manifest 3 of 2");
  terminal.output("after\n");
  EXPECT_EQ(screen(terminal.bytes()), (std::vector<std::string>{"Found manifest file", "partial line", "after", ""}));
}

TEST(ProgressLine, WritesOnlyTheOutputWhenOff) {
  FakeTerminal terminal;
  terminal.line.show(0, "manifest 1 of 2");
  terminal.output("one\n");
  terminal.line.around(true, [&] { std::fputs("two\n", terminal.file.get()); });
  EXPECT_EQ(terminal.bytes(), "one\ntwo\n");
}

TEST(ProgressLine, PartsSideBySideAndCutToTheTerminal) {
  struct Case {
    const char* name;
    int columns;
    std::vector<std::pair<std::size_t, std::string>> shown;  // depth, text, in order
    std::string line;
  };
  const Case cases[] = {
      {"a deeper part follows", 80, {{0, "plugin 4 of 12: Vendor / Product"}, {1, "workflow run 3 of 100"}},
       "[0:00] plugin 4 of 12: Vendor / Product, workflow run 3 of 100"},
      {"a shallower part clears the deeper", 80,
       {{0, "plugin 4 of 12: V / P"}, {1, "workflow run 3 of 100"}, {0, "plugin 5 of 12: V / Q"}},
       "[0:00] plugin 5 of 12: V / Q"},
      {"a deeper part alone", 80, {{1, "workflow run 1 of 1"}}, "[0:00] workflow run 1 of 1"},
      {"one column short of the width", 20, {{0, "manifest 431 of 1000"}}, "[0:00] manifest 431"},
      {"unknown width", 0, {{0, std::string(100, 'x')}}, "[0:00] " + std::string(72, 'x')},
      {"controls shown as ?", 80, {{0, "A\x1b]0;title\x07/\r\n\x7f"}}, "[0:00] A?]0;title?/???"},
      {"bytes that are not UTF-8 and C1 codes", 80, {{0, "a\xff\xc3(b\xc2\x9b"}}, "[0:00] a??" "(b?"},
      {"a character beyond ASCII takes two columns", 13, {{0, "V\xc3\xa9nd\xe2\x84\xa2"}},
       "[0:00] V\xc3\xa9nd"},
  };
  for (const Case& c : cases) {
    FakeTerminal terminal;
    terminal.columns = c.columns;
    terminal.line.turnOn();
    for (const auto& [depth, text] : c.shown) {
      terminal.now += 1min;  // every text drawn, the time so far held at zero
      terminal.line.turnOn();
      terminal.line.show(depth, text);
    }
    const std::string bytes = terminal.bytes();
    const std::size_t last = bytes.rfind('\r');
    ASSERT_NE(last, std::string::npos) << c.name;
    EXPECT_EQ(bytes.substr(last), "\r" + c.line + "\x1b[K") << c.name;
  }
}

TEST(ProgressLine, ScreenEndsAsWithoutIt) {
  const std::vector<std::string> output = {"Start verification\n", "[ OK ] : call orvel_PluginInit\n",
                                           "Returned pose: ", "x y z\n", "\nEnd verification: 19/19 passed\n"};
  FakeTerminal terminal;
  terminal.line.turnOn();
  std::string plain;
  for (std::size_t i = 0; i < output.size(); ++i) {
    terminal.now += 40ms;
    terminal.line.show(1, "workflow run " + std::to_string(i + 1) + " of 5");
    terminal.output(output[i]);
    plain += output[i];
  }
  terminal.line.close();
  EXPECT_EQ(screen(terminal.bytes()), screen(plain));
}

}  // namespace Orvel::ProgressLineTests
