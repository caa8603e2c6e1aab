// Implementation here must contain only POSIX specific code.
#include "platform/ChildProcess.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/UniqueDescriptor_posix.h"

namespace Orvel::platform {

namespace {

// The child finds its channel at the first free descriptor from here on: far
// above the few that a library opens, so that no plugin writes to it or
// closes it by accident.
constexpr int kLowestChannelDescriptor = 100;

// Children that run now, by process id (each leads its own process group), so
// that an interruption can kill them from a signal handler: lock-free slots.
std::array<std::atomic<pid_t>, kMostRunningChildren> runningChildren{};
void (*interruptionCleanup)() = nullptr;

void addRunningChild(pid_t pid) {
  for (auto& slot : runningChildren) {
    pid_t none = 0;
    if (slot.compare_exchange_strong(none, pid)) return;
  }
}

void removeRunningChild(pid_t pid) {
  for (auto& slot : runningChildren) {
    pid_t expected = pid;
    if (slot.compare_exchange_strong(expected, 0)) return;
  }
}

void killGroup(pid_t pid) {
  // The group goes, and the child too should it have left it.
  ::kill(-pid, SIGKILL);
  ::kill(pid, SIGKILL);
}

extern "C" void endOnInterruption(int signal) {
  for (auto& slot : runningChildren) {
    const pid_t pid = slot.load();
    if (pid > 0) killGroup(pid);
  }
  if (interruptionCleanup != nullptr) interruptionCleanup();
  // Ends as the signal would have ended it, so that the shell sees why.
  ::signal(signal, SIG_DFL);
  ::raise(signal);
  ::_exit(128 + signal);
}

// Writes all of text, blocking; false when the reader is gone. (A pipe whose
// reader is gone raises SIGPIPE, which both sides of a child process ignore:
// the write fails instead.)
bool writeAll(int descriptor, const std::string& text) {
  std::size_t written = 0;
  while (written < text.size()) {
    const ssize_t done = ::write(descriptor, text.data() + written, text.size() - written);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    written += static_cast<std::size_t>(done);
  }
  return true;
}

void setNonBlocking(int descriptor) { ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) | O_NONBLOCK); }

}  // namespace

std::string describeCrash(std::int64_t code) {
  std::string text = "signal " + std::to_string(code);
  const char* name = sigabbrev_np(static_cast<int>(code));
  if (name != nullptr) text += std::string(" (SIG") + name + ")";
  return text;
}

struct ChildProcess::Native {
  pid_t pid = -1;
  UniqueDescriptor streams[2];  // read ends: output, channel
  UniqueDescriptor input;       // write end of the child's standard input
  // Readable once the child has ended; empty where the kernel has none.
  UniqueDescriptor ended;
  bool reaped = false;
  ChildEnd end;
};

ChildProcess::ChildProcess(const Program& program, const std::string& channelKey, const std::string& channelTag)
    : native_(std::make_unique<Native>()) {
  const bool withChannel = !channelKey.empty();
  UniqueDescriptor outputRead, outputWrite, channelRead, channelPipeWrite, inputRead, inputWrite;
  if (!makePipe(outputRead, outputWrite) || !makePipe(inputRead, inputWrite)) return;
  UniqueDescriptor channelWrite;
  if (withChannel) {
    if (!makePipe(channelRead, channelPipeWrite)) return;
    channelWrite.reset(::fcntl(channelPipeWrite.get(), F_DUPFD_CLOEXEC, kLowestChannelDescriptor));
    channelPipeWrite.reset();
    if (!channelWrite) return;
  }
  ::signal(SIGPIPE, SIG_IGN);
  // Everything the child needs is made before the fork: after it, only
  // async-signal-safe calls.
  std::vector<std::string> texts;
  texts.push_back(program.path.empty() ? "/proc/self/exe" : program.path);
  if (withChannel) {
    texts.push_back(channelKey + "=" + std::to_string(channelWrite.get()) +
                    (channelTag.empty() ? "" : ":" + channelTag));
  }
  texts.insert(texts.end(), program.arguments.begin(), program.arguments.end());
  std::vector<char*> argv;
  for (std::string& text : texts) argv.push_back(text.data());
  argv.push_back(nullptr);
  std::string executable = program.path;
  if (executable.empty()) {
    char self[4096];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    executable.assign(self, length > 0 ? static_cast<std::size_t>(length) : 0);
  }
  const pid_t parent = ::getpid();

  const pid_t pid = ::fork();
  if (pid == 0) {
    // A group of its own, which a deadline kills as a whole; and the child
    // dies with the thread that started it. A parent that was gone before
    // the signal was set is seen here.
    ::setpgid(0, 0);
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != parent) ::_exit(127);
    // dup2 clears close-on-exec on the copies that the child keeps, and so
    // does clearing the channel's flag.
    if (::dup2(inputRead.get(), STDIN_FILENO) < 0 || ::dup2(outputWrite.get(), STDOUT_FILENO) < 0 ||
        (withChannel && ::fcntl(channelWrite.get(), F_SETFD, 0) != 0)) {
      ::_exit(127);
    }
    ::execv(executable.c_str(), argv.data());
    ::_exit(127);
  }
  if (pid < 0) return;
  // Set on both sides: whichever runs first, the group exists before a kill.
  ::setpgid(pid, pid);
  addRunningChild(pid);
  native_->pid = pid;
  native_->ended.reset(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
  native_->streams[0] = std::move(outputRead);
  native_->streams[1] = std::move(channelRead);
  native_->input = std::move(inputWrite);
  for (const UniqueDescriptor& d : native_->streams) {
    if (d) setNonBlocking(d.get());
  }
  // The child's ends close here, so that the streams end when every process
  // that holds them has ended.
}

ChildProcess::~ChildProcess() {
  kill();
  wait();
}

bool ChildProcess::started() const { return native_->pid > 0; }

ChildProcess::Read ChildProcess::readAvailable(Stream stream, std::string& text) {
  UniqueDescriptor& descriptor = native_->streams[stream == Stream::Output ? 0 : 1];
  if (!descriptor) return Read::Ended;
  char buffer[kReadLimit];
  for (;;) {
    const ssize_t got = ::read(descriptor.get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got > 0) {
      text.append(buffer, static_cast<std::size_t>(got));
      return Read::Data;
    }
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return Read::Nothing;
    descriptor.reset();
    return Read::Ended;
  }
}

ChildProcess::Read ChildProcess::readWaiting(Stream stream, std::string& text) {
  for (;;) {
    const Read read = readAvailable(stream, text);
    if (read != Read::Nothing) return read;
    pollfd watched{native_->streams[stream == Stream::Output ? 0 : 1].get(), POLLIN, 0};
    while (::poll(&watched, 1, -1) < 0 && errno == EINTR) {
    }
  }
}

void ChildProcess::waitForData(int milliseconds, bool output) {
  pollfd watched[3];
  nfds_t count = 0;
  for (int i = output ? 0 : 1; i < 2; ++i) {
    if (native_->streams[i]) watched[count++] = {native_->streams[i].get(), POLLIN, 0};
  }
  const bool watchesEnd = native_->ended && !native_->reaped;
  if (watchesEnd) watched[count++] = {native_->ended.get(), POLLIN, 0};
  // Without a process descriptor the child's end is looked for now and then.
  if (!watchesEnd && !native_->reaped && milliseconds > 20) milliseconds = 20;
  if (count == 0 && milliseconds > 0) {
    ::usleep(static_cast<useconds_t>(milliseconds) * 1000);
    return;
  }
  while (::poll(watched, count, milliseconds) < 0 && errno == EINTR) {
  }
}

bool ChildProcess::hasEnded() {
  if (native_->pid <= 0 || native_->reaped) return true;
  // Looked at without taking the status: the child stays a zombie, so that
  // its process id (and its group's) is not given to another process yet.
  siginfo_t info{};
  if (::waitid(P_PID, static_cast<id_t>(native_->pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0) return false;
  return info.si_pid == native_->pid;
}

bool ChildProcess::writeInput(const std::string& text) { return native_->input && writeAll(native_->input.get(), text); }

void ChildProcess::kill() {
  if (native_->pid > 0 && !native_->reaped) killGroup(native_->pid);
}

ChildEnd ChildProcess::wait() {
  if (native_->pid <= 0 || native_->reaped) return native_->end;
  siginfo_t info{};
  while (::waitid(P_PID, static_cast<id_t>(native_->pid), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
  }
  // What the child left running in its group goes with it, while the zombie
  // still holds the group's number.
  ::kill(-native_->pid, SIGKILL);
  removeRunningChild(native_->pid);
  int status = 0;
  while (::waitpid(native_->pid, &status, 0) < 0 && errno == EINTR) {
  }
  native_->reaped = true;
  native_->ended.reset();
  if (WIFSIGNALED(status)) {
    native_->end = {ChildEnd::Kind::Crashed, WTERMSIG(status)};
  } else {
    // As the child returned it: 255 reads as -1, the status of a failed run.
    native_->end = {ChildEnd::Kind::Exited, static_cast<std::int8_t>(WEXITSTATUS(status))};
  }
  return native_->end;
}

struct ParentChannel::Native {
  UniqueDescriptor descriptor;  // the write end the parent passed down
  std::string prefix;
};

ParentChannel::ParentChannel(const std::string& name, std::string linePrefix) : native_(std::make_unique<Native>()) {
  native_->descriptor.reset(std::stoi(name));
  native_->prefix = std::move(linePrefix);
  // A program that a plugin starts does not get it.
  ::fcntl(native_->descriptor.get(), F_SETFD, FD_CLOEXEC);
}

ParentChannel::~ParentChannel() = default;

bool ParentChannel::writeLine(const std::string& line) {
  return writeAll(native_->descriptor.get(), native_->prefix + line + "\n");
}

void endProcessOnCrash() {
  const rlimit noCoreFile{0, 0};
  ::setrlimit(RLIMIT_CORE, &noCoreFile);
  // A parent that is gone makes a write fail instead of ending the process.
  ::signal(SIGPIPE, SIG_IGN);
}

void endChildrenOnInterruption(void (*cleanup)()) {
  interruptionCleanup = cleanup;
  struct sigaction action {};
  action.sa_handler = endOnInterruption;
  sigemptyset(&action.sa_mask);
  // The other interruption waits until the first has done its work.
  sigaddset(&action.sa_mask, SIGINT);
  sigaddset(&action.sa_mask, SIGTERM);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

void endProcessNow(int status) { ::_exit(status); }

}  // namespace Orvel::platform
