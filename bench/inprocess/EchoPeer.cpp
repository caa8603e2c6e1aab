#include "EchoPeer.h"

#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace Orvel::Bench {

namespace {

bool receiveExactly(int fd, std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t got = ::recv(fd, data, size, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    data += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

bool sendAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    data += sent;
    size -= static_cast<std::size_t>(sent);
  }
  return true;
}

}  // namespace

int runEchoPeer(const std::string& pipeName) {
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  // The same address as the project's pipe server: a leading NUL, then the name's bytes.
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (pipeName.size() + 1 > sizeof address.sun_path) return 2;
  std::memcpy(address.sun_path + 1, pipeName.data(), pipeName.size());
  const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + pipeName.size());
  const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener < 0 || ::bind(listener, reinterpret_cast<const sockaddr*>(&address), length) != 0 ||
      ::listen(listener, 1) != 0) {
    std::perror("echo peer");
    return 1;
  }
  std::printf("%s\n", kEchoPeerReady);
  std::fflush(stdout);
  const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
  ::close(listener);
  if (fd < 0) return 1;
  std::vector<std::uint8_t> frame(8);
  for (;;) {
    if (!receiveExactly(fd, frame.data(), 8)) break;
    std::uint32_t total = 0;
    std::memcpy(&total, frame.data(), sizeof total);
    if (total < 16) break;
    if (frame.size() < total) frame.resize(total);
    if (!receiveExactly(fd, frame.data() + 8, total - 8) || !sendAll(fd, frame.data(), total)) break;
  }
  ::close(fd);
  return 0;
}

}  // namespace Orvel::Bench
