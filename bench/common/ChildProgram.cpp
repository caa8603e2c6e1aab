#include "common/ChildProgram.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <thread>

namespace Orvel::Bench {

ChildProgram::ChildProgram(const std::string& program, const std::vector<std::string>& arguments) {
  char path[] = "/tmp/orvel-bench-output-XXXXXX";
  const int output = ::mkostemp(path, O_CLOEXEC);
  if (output < 0) return;
  outputPath_ = path;
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
    ::dup2(output, STDOUT_FILENO);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(output);
  if (pid > 0) pid_ = pid;
}

ChildProgram::~ChildProgram() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
  }
  if (!outputPath_.empty()) ::unlink(outputPath_.c_str());
}

bool ChildProgram::waitForLineStartingWith(const std::string& prefix, std::chrono::milliseconds bound) const {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  for (;;) {
    std::ifstream file(outputPath_);
    std::string line;
    while (std::getline(file, line)) {
      if (line.rfind(prefix, 0) == 0) return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

}  // namespace Orvel::Bench
