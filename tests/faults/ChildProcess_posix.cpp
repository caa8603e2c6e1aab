// Implementation here must contain only POSIX specific code.
#include "ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

extern char** environ;

namespace Orvel::Test {

struct ChildProcess::Native {
  pid_t pid = -1;
  int output = -1;  // read end of the child's standard output
  std::mutex mutex;
  bool reaped = false;
};

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments)
    : native_(std::make_unique<Native>()) {
  int pipeEnds[2];
  if (::pipe2(pipeEnds, O_CLOEXEC) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int error = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeEnds[1]);
  if (error != 0) {
    ::close(pipeEnds[0]);
    return;
  }
  native_->pid = pid;
  native_->output = pipeEnds[0];
}

ChildProcess::~ChildProcess() {
  kill();
  if (native_->output >= 0) ::close(native_->output);
}

bool ChildProcess::started() const { return native_->pid > 0; }

std::size_t ChildProcess::readOutput(char* buffer, std::size_t size) {
  if (native_->output < 0) return 0;
  for (;;) {
    const ssize_t got = ::read(native_->output, buffer, size);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) return 0;
  }
}

void ChildProcess::kill() {
  std::lock_guard<std::mutex> lock(native_->mutex);
  if (native_->pid <= 0 || native_->reaped) return;
  ::kill(native_->pid, SIGKILL);
  int status = 0;
  while (::waitpid(native_->pid, &status, 0) < 0 && errno == EINTR) {
  }
  native_->reaped = true;
}

}  // namespace Orvel::Test
