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

int waitReadable(int fd, std::chrono::milliseconds bound) {
  pollfd readable{fd, POLLIN, 0};
  const long long ms = bound.count() < INT_MAX ? bound.count() : INT_MAX;
  int ready = 0;
  do {
    ready = ::poll(&readable, 1, static_cast<int>(ms));
  } while (ready < 0 && errno == EINTR);
  return ready;
}

namespace {

// One recv that never waits: bytes read, 0 at the end of the stream, -1 when
// nothing is there (errno EAGAIN) or on an error.
ssize_t receiveAvailable(int fd, void* data, std::size_t size) {
  ssize_t got = 0;
  do {
    got = ::recv(fd, data, size, MSG_DONTWAIT);
  } while (got < 0 && errno == EINTR);
  return got;
}

}  // namespace

PipeConnection::ReadStatus PipeConnection::readSome(void* data, std::size_t& size, std::chrono::milliseconds bound) {
  // What is there already is taken without a wait; poll only for what is not.
  ssize_t got = receiveAvailable(native_->fd, data, size);
  if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
    if (waitReadable(native_->fd, bound) == 0) return ReadStatus::TimedOut;
    got = receiveAvailable(native_->fd, data, size);
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return ReadStatus::TimedOut;
  }
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

bool PipeConnection::writeAvailable(const void* data, std::size_t& size) {
  for (;;) {
    const ssize_t sent = ::send(native_->fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent >= 0) {
      size = static_cast<std::size_t>(sent);
      return true;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      size = 0;
      return true;
    }
    return false;
  }
}

void PipeConnection::close() {
  // The descriptor stays until destruction, so a racing read never reaches a reused one.
  if (!native_->closed.exchange(true)) ::shutdown(native_->fd, SHUT_RDWR);
}

}  // namespace Orvel
