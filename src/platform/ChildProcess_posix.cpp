// Implementation here must contain only POSIX specific code.
#include "platform/ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace Orvel::platform {

namespace {

// The child finds its channel here: the first descriptor after the standard three.
constexpr int kChildChannelDescriptor = 3;

void closeDescriptor(int& descriptor) {
  if (descriptor >= 0) ::close(descriptor);
  descriptor = -1;
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

}  // namespace

std::string describeCrash(std::int64_t code) {
  std::string text = "signal " + std::to_string(code);
  const char* name = sigabbrev_np(static_cast<int>(code));
  if (name != nullptr) text += std::string(" (SIG") + name + ")";
  return text;
}

struct ChildProcess::Native {
  pid_t pid = -1;
  int streams[2] = {-1, -1};  // read ends: output, channel
  int input = -1;             // write end of the child's standard input
  bool ended = false;
  ChildEnd end;
};

ChildProcess::ChildProcess(const Program& program, const std::string& channelKey)
    : native_(std::make_unique<Native>()) {
  const bool withChannel = !channelKey.empty();
  int output[2];
  int channel[2] = {-1, -1};
  int input[2];
  if (::pipe2(output, O_CLOEXEC) != 0) return;
  if (withChannel && ::pipe2(channel, O_CLOEXEC) != 0) {
    ::close(output[0]);
    ::close(output[1]);
    return;
  }
  if (::pipe2(input, O_CLOEXEC) != 0) {
    for (int d : {output[0], output[1], channel[0], channel[1]}) {
      if (d >= 0) ::close(d);
    }
    return;
  }
  ::signal(SIGPIPE, SIG_IGN);
  // Everything the child needs is made before the fork: after it, only
  // async-signal-safe calls.
  std::vector<std::string> texts;
  texts.push_back(program.path.empty() ? "/proc/self/exe" : program.path);
  if (withChannel) texts.push_back(channelKey + "=" + std::to_string(kChildChannelDescriptor));
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

  const pid_t pid = ::fork();
  if (pid == 0) {
    // dup2 clears close-on-exec on the copies that the child keeps.
    if (::dup2(input[0], STDIN_FILENO) < 0 || ::dup2(output[1], STDOUT_FILENO) < 0 ||
        (withChannel && ::dup2(channel[1], kChildChannelDescriptor) < 0)) {
      ::_exit(127);
    }
    ::execv(executable.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(output[1]);
  if (withChannel) ::close(channel[1]);
  ::close(input[0]);
  if (pid < 0) {
    ::close(output[0]);
    if (withChannel) ::close(channel[0]);
    ::close(input[1]);
    return;
  }
  native_->pid = pid;
  native_->streams[0] = output[0];
  native_->streams[1] = channel[0];
  native_->input = input[1];
  for (int d : native_->streams) {
    if (d >= 0) ::fcntl(d, F_SETFL, ::fcntl(d, F_GETFL) | O_NONBLOCK);
  }
}

ChildProcess::~ChildProcess() {
  kill();
  wait();
  for (int& d : native_->streams) closeDescriptor(d);
  closeDescriptor(native_->input);
}

bool ChildProcess::started() const { return native_->pid > 0; }

ChildProcess::Read ChildProcess::readAvailable(Stream stream, std::string& text) {
  int& descriptor = native_->streams[stream == Stream::Output ? 0 : 1];
  if (descriptor < 0) return Read::Ended;
  char buffer[65536];
  Read result = Read::Nothing;
  for (;;) {
    const ssize_t got = ::read(descriptor, buffer, sizeof buffer);
    if (got > 0) {
      text.append(buffer, static_cast<std::size_t>(got));
      // A pipe read returns less than asked only when the pipe is empty: the
      // read that would find it so is spared.
      if (static_cast<std::size_t>(got) < sizeof buffer) return Read::Data;
      result = Read::Data;
      continue;
    }
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return result;
    closeDescriptor(descriptor);
    return result == Read::Data ? Read::Data : Read::Ended;
  }
}

ChildProcess::Read ChildProcess::readWaiting(Stream stream, std::string& text) {
  for (;;) {
    const Read read = readAvailable(stream, text);
    if (read != Read::Nothing) return read;
    pollfd watched{native_->streams[stream == Stream::Output ? 0 : 1], POLLIN, 0};
    while (::poll(&watched, 1, -1) < 0 && errno == EINTR) {
    }
  }
}

void ChildProcess::waitForData(int milliseconds) {
  pollfd watched[2];
  nfds_t count = 0;
  for (int d : native_->streams) {
    if (d >= 0) watched[count++] = {d, POLLIN, 0};
  }
  if (count == 0) return;
  while (::poll(watched, count, milliseconds) < 0 && errno == EINTR) {
  }
}

bool ChildProcess::writeInput(const std::string& text) { return native_->input >= 0 && writeAll(native_->input, text); }

void ChildProcess::kill() {
  if (native_->pid > 0 && !native_->ended) ::kill(native_->pid, SIGKILL);
}

ChildEnd ChildProcess::wait() {
  if (native_->pid <= 0 || native_->ended) return native_->end;
  int status = 0;
  while (::waitpid(native_->pid, &status, 0) < 0 && errno == EINTR) {
  }
  native_->ended = true;
  if (WIFSIGNALED(status)) {
    native_->end = {ChildEnd::Kind::Crashed, WTERMSIG(status)};
  } else {
    // As the child returned it: 255 reads as -1, the status of a failed run.
    native_->end = {ChildEnd::Kind::Exited, static_cast<std::int8_t>(WEXITSTATUS(status))};
  }
  return native_->end;
}

struct ParentChannel::Native {
  int fd = -1;  // the write end the parent passed down
};

ParentChannel::ParentChannel(const std::string& name) : native_(std::make_unique<Native>()) {
  native_->fd = std::stoi(name);
  ::fcntl(native_->fd, F_SETFD, FD_CLOEXEC);
}

ParentChannel::~ParentChannel() { ::close(native_->fd); }

bool ParentChannel::writeLine(const std::string& line) { return writeAll(native_->fd, line + "\n"); }

void endProcessOnCrash() {
  const rlimit noCoreFile{0, 0};
  ::setrlimit(RLIMIT_CORE, &noCoreFile);
  // A parent that is gone makes a write fail instead of ending the process.
  ::signal(SIGPIPE, SIG_IGN);
}

void endProcessNow(int status) { ::_exit(status); }

}  // namespace Orvel::platform
