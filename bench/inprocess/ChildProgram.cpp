#include "ChildProgram.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace Orvel::Bench {

ChildProgram::ChildProgram(const std::string& program, const std::vector<std::string>& arguments) {
  int output[2];
  if (::pipe2(output, O_CLOEXEC) != 0) return;
  std::vector<std::string> texts;
  texts.push_back(program);
  texts.insert(texts.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& text : texts) argv.push_back(text.data());
  argv.push_back(nullptr);
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid == 0) {
    // Only async-signal-safe calls between fork and exec.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(127);
    ::dup2(output[1], STDOUT_FILENO);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(output[1]);
  if (pid < 0) {
    ::close(output[0]);
    return;
  }
  pid_ = pid;
  reader_ = std::thread([this, fd = output[0]] { readLines(fd); });
}

ChildProgram::~ChildProgram() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
  }
  if (reader_.joinable()) reader_.join();
}

void ChildProgram::readLines(int fd) {
  std::string pending;
  char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    pending.append(buffer, static_cast<std::size_t>(got));
    std::vector<std::string> complete;
    std::size_t end = 0;
    while ((end = pending.find('\n')) != std::string::npos) {
      complete.push_back(pending.substr(0, end));
      pending.erase(0, end + 1);
    }
    if (complete.empty()) continue;
    std::lock_guard<std::mutex> lock(mutex_);
    // Only the first lines are ever waited for; a long-running child's
    // event lines are read and dropped.
    if (lines_.size() < 64) lines_.insert(lines_.end(), complete.begin(), complete.end());
    changed_.notify_all();
  }
  ::close(fd);
  std::lock_guard<std::mutex> lock(mutex_);
  ended_ = true;
  changed_.notify_all();
}

bool ChildProgram::waitForLineStartingWith(const std::string& prefix, std::chrono::milliseconds bound) {
  std::unique_lock<std::mutex> lock(mutex_);
  bool found = false;
  changed_.wait_for(lock, bound, [&] {
    found = std::any_of(lines_.begin(), lines_.end(), [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
    return found || ended_;
  });
  return found;
}

}  // namespace Orvel::Bench
