// Running the program itself again (or another program) as a child process,
// and the child's side of it. The parent reads the child's standard output
// and a second channel (an inherited pipe) without blocking, writes lines to
// its standard input, keeps a deadline by killing it, and learns how it
// ended: its exit status, or the crash that ended it (a Windows exception
// code, a POSIX signal).
// The child and every process it starts are one group that is killed as a
// whole: on a deadline, once the child has ended (what it left running goes
// with it), and when this process is interrupted. A child outlives no parent.
// Windows: CreateProcessA with inherited anonymous pipes in a job object that
// kills its processes when its last handle closes, PeekNamedPipe,
// TerminateJobObject. Linux: fork and exec of /proc/self/exe in a process
// group of its own, killed with SIGKILL, a parent-death signal in the child,
// poll on the pipes and on a process descriptor.
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

// How many children, started from any threads, may run at once and still
// be ended by an interruption (see endChildrenOnInterruption): room for the
// most verifications that run side by side, and the listing's child.
inline constexpr std::size_t kMostRunningChildren = 128;

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
  // first argument `channelKey` "=" <the channel's name> names to it (with
  // ":" and `channelTag` after it, when one is given); without one, the
  // channel stream has ended from the start. The channel is a descriptor or
  // handle that a process the child starts does not inherit, once the child
  // has opened it (see ParentChannel). The child's standard error is this
  // process's.
  explicit ChildProcess(const Program& program, const std::string& channelKey = {},
                        const std::string& channelTag = {});
  // Kills the child and what it started if they still run, and waits for it.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const;
  // Appends what the stream holds now to `text`, at most kReadLimit bytes and
  // without waiting: Data when something came, Nothing when nothing is there
  // yet, Ended at the end of the stream (every process that could write it
  // ended, and everything was read). A stream that a process writes without
  // pause is read in bounded steps, so that the caller keeps its turn.
  Read readAvailable(Stream stream, std::string& text);
  static constexpr std::size_t kReadLimit = 65536;
  // Waits at most `milliseconds` until a stream that has not ended has
  // something to read or ends, or the child ends. With `output` false the
  // output stream is not watched (a caller that reads it no further now).
  void waitForData(int milliseconds, bool output = true);
  // True once the child itself has ended (whoever still holds its streams);
  // does not wait.
  bool hasEnded();
  // Waits until the stream has something to read or ends, and appends what
  // it holds to `text`: Data, or Ended. (A thread that reads one stream and
  // nothing else; Windows cannot wait for two anonymous pipes at once.)
  Read readWaiting(Stream stream, std::string& text);
  // Writes the text to the child's standard input; false when it is gone.
  bool writeInput(const std::string& text);
  // Ends the child and every process it started at once (SIGKILL to its
  // process group, TerminateJobObject); nothing when it has ended.
  void kill();
  // Waits until the child has ended, kills what it left running, and tells
  // how the child ended.
  ChildEnd wait();

 private:
  struct Native;
  std::unique_ptr<Native> native_;
};

// The child's side: the channel its parent named, as one line per write.
// Processes that the child starts later do not inherit it.
class ParentChannel {
 public:
  // `name` is the channel's name as the marker argument gives it (before any
  // ":"); every line written begins with `linePrefix`.
  ParentChannel(const std::string& name, std::string linePrefix = {});
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

// From now on an interruption of this process (SIGINT or SIGTERM; Ctrl-C,
// Ctrl-Break or the console's closing on Windows) kills every child process
// that it started and that still runs, with the processes they started,
// calls `cleanup` (when not null; it must be safe in a signal handler), and
// ends this process as interrupted: never with status 0.
void endChildrenOnInterruption(void (*cleanup)());

// Ends this process at once with the status: no destructors run and no
// library is unloaded, whatever other threads are doing.
[[noreturn]] void endProcessNow(int status);

}  // namespace Orvel::platform
