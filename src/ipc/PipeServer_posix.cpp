// Implementation here must contain only POSIX specific code.
#include "ipc/PipeServer.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <thread>

#include "ipc/PipeConnectionNative_posix.h"

namespace Orvel {

struct PipeServer::Native {
  int listener = -1;
};

PipeServer::PipeServer(std::string name, std::uint32_t bufferSize)
    : name_(std::move(name)), bufferSize_(bufferSize), native_(std::make_unique<Native>()) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (name_.size() + 1 > sizeof address.sun_path) {
    errorCode_ = ENAMETOOLONG;
    return;
  }
  std::memcpy(address.sun_path + 1, name_.data(), name_.size());
  const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name_.size());
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    errorCode_ = static_cast<std::uint32_t>(errno);
    return;
  }
  // A name in use fails the bind (EADDRINUSE): the abstract namespace has one owner per name.
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0 || ::listen(fd, 16) != 0) {
    errorCode_ = static_cast<std::uint32_t>(errno);
    ::close(fd);
    return;
  }
  native_->listener = fd;
}

PipeServer::~PipeServer() {
  if (native_->listener >= 0) ::close(native_->listener);
}

bool PipeServer::isListening() const { return native_->listener >= 0; }

std::unique_ptr<PipeConnection> PipeServer::accept(std::chrono::milliseconds bound) {
  if (native_->listener < 0) return nullptr;
  const auto end = std::chrono::steady_clock::now() + bound;
  int fd = -1;
  while (fd < 0) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0 || waitReadable(native_->listener, left) <= 0) return nullptr;
    fd = ::accept4(native_->listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0 || errno == EINTR || errno == ECONNABORTED || errno == EAGAIN) continue;
    // No descriptor or memory for the connection (EMFILE, ENFILE, ENOBUFS,
    // ENOMEM): the client stays queued and the listener readable, so a
    // caller that accepts again at once would spin. Back off for the rest
    // of the bound; the client is taken once the process has room for it.
    std::this_thread::sleep_until(end);
    return nullptr;
  }
  // The client's send buffer decides when its writes wait; keep ours like a pipe's.
  const int size = static_cast<int>(bufferSize_);
  ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
  auto native = std::make_unique<PipeConnection::Native>();
  native->fd = fd;
  return std::make_unique<PipeConnection>(std::move(native));
}

}  // namespace Orvel
