// Running the program itself again (or another program) as a child process,
// and the child's side of it. The parent reads the child's standard output
// and a second channel (an inherited pipe) without blocking, writes lines to
// its standard input, keeps a deadline by killing it, and learns how it
// ended: its exit status, or the crash that ended it (a Windows exception
// code, a POSIX signal).
// Windows: CreateProcessA with inherited anonymous pipes, PeekNamedPipe,
// TerminateProcess. Linux: fork and exec of /proc/self/exe, poll, SIGKILL.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Orvel::platform {

// How a child process ended.
struct ChildEnd {
  enum class Kind { Exited, Crashed };
  Kind kind = Kind::Exited;
  // The exit status (as the process returned it, so -1 reads as -1), the
  // exception code (Windows) or the signal number (Linux).
  std::int64_t code = 0;
};

// A crash's code as a report names it: "exception 0xC0000005 (access
// violation)" (the name for the common codes only), "signal 11 (SIGSEGV)".
std::string describeCrash(std::int64_t code);

// One thread may read the streams while another kills and waits.
class ChildProcess {
 public:
  enum class Stream { Output, Channel };
  enum class Read { Data, Nothing, Ended };

  // What to start: the program at `path` (empty: this program again) and
  // its arguments.
  struct Program {
    std::string path;
    std::vector<std::string> arguments;
  };

  // Starts the program. With a `channelKey` the child gets a channel, which a
  // first argument `channelKey` "=" <the channel's name> names to it; without
  // one, the channel stream has ended from the start. The child's standard
  // error is this process's.
  explicit ChildProcess(const Program& program, const std::string& channelKey = {});
  // Kills the child if it still runs, and waits for it.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const;
  // Appends what the stream holds now to `text`, without waiting: Data when
  // something came, Nothing when nothing is there yet, Ended at the end of
  // the stream (the child ended and everything was read).
  Read readAvailable(Stream stream, std::string& text);
  // Waits at most `milliseconds` until a stream that has not ended has
  // something to read or ends.
  void waitForData(int milliseconds);
  // Waits until the stream has something to read or ends, and appends what
  // it holds to `text`: Data, or Ended. (A thread that reads one stream and
  // nothing else; Windows cannot wait for two anonymous pipes at once.)
  Read readWaiting(Stream stream, std::string& text);
  // Writes the text to the child's standard input; false when it is gone.
  bool writeInput(const std::string& text);
  // Ends the child at once (SIGKILL, TerminateProcess); nothing when it has ended.
  void kill();
  // Waits until the child has ended; how it ended.
  ChildEnd wait();

 private:
  struct Native;
  std::unique_ptr<Native> native_;
};

// The child's side: the channel its parent named, as one line per write.
class ParentChannel {
 public:
  explicit ParentChannel(const std::string& name);
  ~ParentChannel();
  ParentChannel(const ParentChannel&) = delete;
  ParentChannel& operator=(const ParentChannel&) = delete;

  // Writes the line and a line end at once; false when the parent is gone.
  bool writeLine(const std::string& line);

 private:
  struct Native;
  std::unique_ptr<Native> native_;
};

// Makes a crash end this process at once, with the crash as its cause: no
// fault dialog, crash reporter, core dump or debugger (Windows: an error mode
// without fault boxes and an unhandled-exception filter that ends the process
// with the exception code; Linux: no core file).
void endProcessOnCrash();

// Ends this process at once with the status: no destructors run and no
// library is unloaded, whatever other threads are doing.
[[noreturn]] void endProcessNow(int status);

}  // namespace Orvel::platform
