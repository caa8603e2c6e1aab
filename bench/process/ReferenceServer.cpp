#include "ReferenceServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace Orvel::Bench {

namespace {

constexpr auto kStartBound = std::chrono::seconds(60);
const std::string kListening = "listening on ";

// Reads what is available; false at the end of the stream.
bool readSome(int fd, std::string& into) {
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got > 0) {
      into.append(buffer, static_cast<std::size_t>(got));
      return true;
    }
    if (got < 0 && errno == EINTR) continue;
    return false;
  }
}

// A whole line of the server's output that starts with the listening text.
bool hasListeningLine(const std::string& out) {
  for (std::size_t start = 0; start < out.size();) {
    const std::size_t end = out.find('\n', start);
    if (end == std::string::npos) return false;  // not finished yet
    if (out.compare(start, kListening.size(), kListening) == 0) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace

ReferenceServer::ReferenceServer(const std::string& program) {
  int outPipe[2];
  int errPipe[2];
  if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0) {
    throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
  std::string path = program;
  char* argv[] = {path.data(), nullptr};
  const int spawnError = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  outFd_ = outPipe[0];
  errFd_ = errPipe[0];
  if (spawnError != 0) {
    ::close(outFd_);
    ::close(errFd_);
    throw std::runtime_error("cannot start " + program + ": " + std::strerror(spawnError));
  }

  // Lines that echo the options may come first; the listening line ends the start.
  std::string out;
  std::string err;
  const auto deadline = std::chrono::steady_clock::now() + kStartBound;
  bool listening = false;
  bool ended = false;
  while (!listening && !ended && std::chrono::steady_clock::now() < deadline) {
    pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
    if (::poll(fds, 2, 1000) <= 0) continue;
    if (fds[1].revents != 0) readSome(errFd_, err);
    if (fds[0].revents != 0) ended = !readSome(outFd_, out);
    listening = hasListeningLine(out);
  }
  drainer_ = std::thread([this] { drain(); });
  if (!listening) {
    shutdown();
    throw std::runtime_error("the reference server did not start listening:\n" + out + err);
  }
}

ReferenceServer::~ReferenceServer() { shutdown(); }

void ReferenceServer::shutdown() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
  }
  if (drainer_.joinable()) drainer_.join();
  if (outFd_ >= 0) ::close(outFd_);
  if (errFd_ >= 0) ::close(errFd_);
  outFd_ = errFd_ = -1;
}

void ReferenceServer::drain() {
  pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
  std::string dropped;
  int open = 2;
  while (open > 0) {
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    for (pollfd& fd : fds) {
      if (fd.fd < 0 || fd.revents == 0) continue;
      if (!readSome(fd.fd, dropped)) {
        fd.fd = -1;
        --open;
      }
      dropped.clear();
    }
  }
}

}  // namespace Orvel::Bench
