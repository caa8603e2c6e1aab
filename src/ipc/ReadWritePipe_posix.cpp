// Implementation here must contain only POSIX specific code. The pipe is an
// abstract-namespace Unix stream socket; error codes are errno values.
#include "ipc/ReadWritePipe.h"

#include <fcntl.h>
#include <linux/sockios.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstddef>
#include <cstring>
#include <thread>

#include "ipc/Deadline.h"
#include "logging/Log.h"
#include "platform/SystemError.h"

namespace Orvel {

struct ReadWritePipe::Native {
  int fd = -1;
  // close shuts the socket down but keeps the descriptor until destruction,
  // so that a read or write racing with close can never reach a descriptor
  // number that the process has meanwhile reused for something else.
  std::atomic<bool> closed{false};
  // The server closed its end with bytes of this side unread: the system
  // dropped them, and tells so once (the socket's pending error
  // ECONNRESET), to whichever of read and flush asks first.
  std::atomic<bool> bytesDropped{false};
};

namespace {

// The abstract address: a leading NUL, then the pipe path's bytes exactly.
bool makeAddress(const std::string& name, sockaddr_un& address, socklen_t& length) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (name.size() + 1 > sizeof address.sun_path) return false;
  std::memcpy(address.sun_path + 1, name.data(), name.size());
  length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
  return true;
}

// Bytes written to the socket that the server has not read yet: they stay
// charged to the sending socket until then.
bool unreadBytes(int fd, int& unread) { return ::ioctl(fd, SIOCOUTQ, &unread) == 0; }

// The server has gone and dropped bytes of this side unread. A server that
// closes its end drops what it has not read, which empties this end's count
// of unread bytes just as reading them would: look at this after the count.
// While the server is still there, an empty count means read. dropped: the
// socket's flag, which a read may have set.
bool bytesDropped(int fd, std::atomic<bool>& dropped) {
  pollfd entry{fd, 0, 0};
  if (::poll(&entry, 1, 0) <= 0 || (entry.revents & POLLHUP) == 0) return false;
  int error = 0;
  socklen_t length = sizeof error;
  if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == ECONNRESET) dropped.store(true);
  return dropped.load();
}

// The longest single wait of flush before it looks at the queue again; only a
// safety net, as every read of the server wakes it.
constexpr int kFlushRecheckMs = 100;

void setSendTimeout(int fd, std::int64_t ms) {
  timeval timeout{};
  timeout.tv_sec = static_cast<time_t>(ms / 1000);
  timeout.tv_usec = static_cast<suseconds_t>((ms % 1000) * 1000);
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
}

}  // namespace

std::shared_ptr<ReadWritePipe> ReadWritePipe::connect(const std::string& name, std::int64_t timeoutMs) {
  const Deadline deadline(timeoutMs);
  sockaddr_un address{};
  socklen_t addressLength = 0;
  for (;;) {
    const std::int64_t remaining = deadline.remainingMs();
    if (remaining <= 0) {
      setLastSystemErrorCode(ETIMEDOUT);
      return nullptr;
    }
    if (!makeAddress(name, address, addressLength)) {
      setLastSystemErrorCode(ENAMETOOLONG);
      return nullptr;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return nullptr;  // errno says why
    // A server whose backlog is full makes connect wait; bound that wait by the time left.
    setSendTimeout(fd, remaining);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), addressLength) == 0) {
      setSendTimeout(fd, 0);  // writes bound their own waits
      auto native = std::make_unique<Native>();
      native->fd = fd;
      return std::shared_ptr<ReadWritePipe>(new ReadWritePipe(name, std::move(native)));
    }
    const int error = errno;
    ::close(fd);
    if (error == ECONNREFUSED || error == ENOENT) {
      // Nobody listens yet: the server has not created the pipe.
      std::this_thread::sleep_for(std::chrono::milliseconds(std::min<std::int64_t>(5, remaining)));
      continue;
    }
    if (error == EAGAIN || error == EINTR) continue;  // busy or interrupted: try again within the deadline
    setLastSystemErrorCode(static_cast<std::uint32_t>(error));
    LOG_ERROR("Failed to connect WaitNamedPipeA %s : %s", name.c_str(), lastSystemErrorText().c_str());
    setLastSystemErrorCode(static_cast<std::uint32_t>(error));
    return nullptr;
  }
}

ReadWritePipe::ReadWritePipe(std::string name, std::unique_ptr<Native> native)
    : name_(std::move(name)), native_(std::move(native)) {}

ReadWritePipe::~ReadWritePipe() {
  if (!isClosed()) flush();
  if (::close(native_->fd) != 0) {
    LOG_ERROR("Failed to close pipe handle: %s", lastSystemErrorText().c_str());
  }
}

bool ReadWritePipe::isClosed() const { return native_->closed.load(); }

void ReadWritePipe::close() {
  if (native_->closed.exchange(true)) return;
  // Shutting down both directions ends a read or write blocked in another thread.
  if (::shutdown(native_->fd, SHUT_RDWR) != 0 && errno != ENOTCONN) {
    LOG_ERROR("Failed to cancel IO: %s", lastSystemErrorText().c_str());
  }
}

void ReadWritePipe::recordError(std::uint32_t code) {
  if (code == EPIPE || code == ECONNRESET || isClosed()) return;  // quiet ends
  lastError_.store(code, std::memory_order_relaxed);
}

bool ReadWritePipe::read(void* data, std::uint32_t& size) {
  lastError_.store(0, std::memory_order_relaxed);
  if (size == 0) return true;
  for (;;) {
    const ssize_t received = ::recv(native_->fd, data, size, MSG_DONTWAIT);
    if (received > 0) {
      size = static_cast<std::uint32_t>(received);
      return true;
    }
    if (received == 0) return false;  // end of stream: the server closed, or close shut the socket down
    const int error = errno;
    if (error == EINTR) continue;
    if (error == ECONNRESET) native_->bytesDropped.store(true);
    if (error == EAGAIN || error == EWOULDBLOCK) {
      // Nothing there yet: wait in poll rather than in recv. A reader blocked
      // in recv is woken each time the server takes bytes that this side
      // wrote; poll wakes only for incoming data, the end of the stream, or
      // close (which shuts the socket down).
      pollfd readable{native_->fd, POLLIN, 0};
      if (::poll(&readable, 1, -1) >= 0 || errno == EINTR) continue;
    }
    recordError(static_cast<std::uint32_t>(errno));
    return false;
  }
}

bool ReadWritePipe::write(const void* data, std::uint32_t& size, std::int64_t timeoutMs) {
  const Deadline deadline(timeoutMs);
  lastError_.store(0, std::memory_order_relaxed);
  const int flags = MSG_NOSIGNAL | (timeoutMs == 0 ? 0 : MSG_DONTWAIT);
  for (;;) {
    const ssize_t sent = ::send(native_->fd, data, size, flags);
    if (sent >= 0) {
      size = static_cast<std::uint32_t>(sent);
      return true;
    }
    const int error = errno;
    if (error == EINTR) continue;
    if (timeoutMs == 0 || (error != EAGAIN && error != EWOULDBLOCK)) {
      recordError(static_cast<std::uint32_t>(error));
      return false;
    }
    const std::int64_t remaining = deadline.remainingMs();
    if (remaining <= 0) {
      recordError(ETIMEDOUT);
      return false;
    }
    pollfd waiting{native_->fd, POLLOUT, 0};
    ::poll(&waiting, 1, static_cast<int>(std::min<std::int64_t>(remaining, INT_MAX)));
  }
}

bool ReadWritePipe::flush() {
  lastError_.store(0, std::memory_order_relaxed);
  if (isClosed()) return false;
  int unread = 0;
  // Looks at the queue, and once more after giving up the processor: the
  // bytes just written woke the server, which often waits for this very
  // processor. Yielding lets it read them (and pass them on) first; a thread
  // asleep in the wait below would be woken by that read and switched to in
  // the middle of the server's work, a switch there and one back.
  for (int look = 0; look < 2; ++look) {
    if (look > 0) std::this_thread::yield();
    if (!unreadBytes(native_->fd, unread)) {
      recordError(static_cast<std::uint32_t>(errno));
      return false;
    }
    if (unread <= 0) return !bytesDropped(native_->fd, native_->bytesDropped);
  }

  // Wait for the server to read, without a sleep: each time it consumes bytes
  // of this socket, the kernel signals write space to the socket's waiters.
  // An edge-triggered epoll registration sees every such signal, also while
  // the socket stays writable (a level-triggered poll would return at once),
  // and as it is made before the queue is looked at again, the last signal
  // cannot slip by. close, and the server shutting its end down, wake it as
  // well.
  const int waiter = ::epoll_create1(EPOLL_CLOEXEC);
  if (waiter < 0) {
    recordError(static_cast<std::uint32_t>(errno));
    return false;
  }
  epoll_event interest{};
  interest.events = EPOLLOUT | EPOLLET;
  bool flushed = false;
  if (::epoll_ctl(waiter, EPOLL_CTL_ADD, native_->fd, &interest) != 0) {
    recordError(static_cast<std::uint32_t>(errno));
  } else {
    for (;;) {
      if (isClosed()) break;
      if (!unreadBytes(native_->fd, unread)) {
        recordError(static_cast<std::uint32_t>(errno));
        break;
      }
      if (unread <= 0) {
        flushed = !bytesDropped(native_->fd, native_->bytesDropped);
        break;
      }
      epoll_event event{};
      const int ready = ::epoll_wait(waiter, &event, 1, kFlushRecheckMs);
      if (ready < 0 && errno != EINTR) {
        recordError(static_cast<std::uint32_t>(errno));
        break;
      }
      // The server shut its end down: what it has not read it never will. A
      // quiet end, like a broken pipe.
      if (ready > 0 && (event.events & EPOLLHUP) != 0) break;
    }
  }
  ::close(waiter);
  return flushed;
}

}  // namespace Orvel
