#include "ProcessRun.h"

#include <fcntl.h>
#include <malloc.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace Orvel::Bench {

namespace {

std::string variableName(const std::string& entry) { return entry.substr(0, entry.find('=')); }

// The driver's environment with the command's entries added or replacing.
std::vector<std::string> mergedEnvironment(const std::vector<std::string>& extra) {
  std::vector<std::string> merged;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    bool replaced = false;
    for (const std::string& added : extra) replaced = replaced || variableName(added) == variableName(text);
    if (!replaced) merged.push_back(text);
  }
  merged.insert(merged.end(), extra.begin(), extra.end());
  return merged;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
  std::vector<char*> result;
  for (std::string& text : texts) result.push_back(text.data());
  result.push_back(nullptr);
  return result;
}

// A file in memory for one output stream: the program writes to it as it
// would to a file, with no reader to wake on every line.
int makeOutputFile(const char* name) {
  const int fd = ::memfd_create(name, MFD_CLOEXEC);
  if (fd < 0) throw std::runtime_error(std::string("memfd_create: ") + std::strerror(errno));
  return fd;
}

std::string readOutputFile(int fd) {
  std::string text;
  char buffer[65536];
  off_t offset = 0;
  for (;;) {
    const ssize_t got = ::pread(fd, buffer, sizeof buffer, offset);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw std::runtime_error(std::string("pread: ") + std::strerror(errno));
    if (got == 0) break;
    text.append(buffer, static_cast<std::size_t>(got));
    offset += got;
  }
  ::close(fd);
  return text;
}

}  // namespace

std::string describe(const Command& command) {
  std::string text;
  for (const std::string& entry : command.environment) text += entry + " ";
  for (const std::string& argument : command.arguments) text += (text.empty() || text.back() == ' ' ? "" : " ") + argument;
  return text;
}

ProcessResult runProcess(const Command& command) {
  std::vector<std::string> arguments = command.arguments;
  std::vector<std::string> environment = mergedEnvironment(command.environment);
  std::vector<char*> argv = pointers(arguments);
  std::vector<char*> envp = pointers(environment);

  const int outFile = makeOutputFile("stdout");
  const int errFile = makeOutputFile("stderr");
  // The forked child starts with the driver's resident pages, and that is the
  // floor of every peak measured: hand freed heap memory back first.
  ::malloc_trim(0);
  ProcessResult result;
  const auto start = std::chrono::steady_clock::now();
  // fork, not posix_spawn: a child spawned with a shared address space
  // (vfork) inherits the driver's peak resident size across exec, and so
  // would every program measured. The forked child resets its own peak to
  // its current (small) size before exec; only async-signal-safe calls here.
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int clearRefs = ::open("/proc/self/clear_refs", O_WRONLY | O_CLOEXEC);
    if (clearRefs >= 0) {
      ssize_t ignored = ::write(clearRefs, "5", 1);
      (void)ignored;
      ::close(clearRefs);
    }
    const int devNull = ::open("/dev/null", O_RDONLY);
    if (devNull < 0 || ::dup2(devNull, STDIN_FILENO) < 0 || ::dup2(outFile, STDOUT_FILENO) < 0 ||
        ::dup2(errFile, STDERR_FILENO) < 0) {
      ::_exit(127);
    }
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
  }
  const int spawnError = pid < 0 ? errno : 0;
  if (spawnError != 0) {
    ::close(outFile);
    ::close(errFile);
    throw std::runtime_error("cannot start " + describe(command) + ": " + std::strerror(spawnError));
  }
  int status = 0;
  rusage usage{};
  while (::wait4(pid, &status, 0, &usage) < 0) {
    if (errno != EINTR) throw std::runtime_error(std::string("wait4: ") + std::strerror(errno));
  }
  const auto end = std::chrono::steady_clock::now();
  result.wallMs = std::chrono::duration<double, std::milli>(end - start).count();
  result.out = readOutputFile(outFile);
  result.err = readOutputFile(errFile);
  result.maxRssMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
  result.exited = WIFEXITED(status);
  result.exitStatus = result.exited ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace Orvel::Bench
