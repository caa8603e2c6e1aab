// Implementation here must contain only POSIX specific code.
#include "ipc/PipeConnection.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>

#include "ipc/PipeConnectionNative_posix.h"

namespace Orvel {

PipeConnection::PipeConnection(std::unique_ptr<Native> native) : native_(std::move(native)) {}

PipeConnection::~PipeConnection() {
  close();
  ::close(native_->fd);
}

PipeConnection::ReadStatus PipeConnection::readSome(void* data, std::size_t& size, std::chrono::milliseconds bound) {
  pollfd readable{native_->fd, POLLIN, 0};
  const long long ms = bound.count() < INT_MAX ? bound.count() : INT_MAX;
  int ready = 0;
  do {
    ready = ::poll(&readable, 1, static_cast<int>(ms));
  } while (ready < 0 && errno == EINTR);
  if (ready == 0) return ReadStatus::TimedOut;
  ssize_t got = 0;
  do {
    got = ::recv(native_->fd, data, size, MSG_DONTWAIT);
  } while (got < 0 && errno == EINTR);
  if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return ReadStatus::TimedOut;
  if (got <= 0) return ReadStatus::End;
  size = static_cast<std::size_t>(got);
  return ReadStatus::Data;
}

bool PipeConnection::writeAll(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  while (size > 0) {
    const ssize_t sent = ::send(native_->fd, bytes, size, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    bytes += sent;
    size -= static_cast<std::size_t>(sent);
  }
  return true;
}

void PipeConnection::close() {
  // The descriptor stays until destruction, so a racing read never reaches a reused one.
  if (!native_->closed.exchange(true)) ::shutdown(native_->fd, SHUT_RDWR);
}

}  // namespace Orvel
