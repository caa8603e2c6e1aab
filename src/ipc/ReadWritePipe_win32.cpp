// Implementation here must contain only Win32 specific code. The pipe is an
// overlapped named pipe; error codes are Win32 codes.
#include "ipc/ReadWritePipe.h"

#include "platform/UniqueHandle_win32.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <utility>

#include "ipc/Deadline.h"
#include "logging/Log.h"
#include "platform/SystemError.h"

namespace Orvel {

using platform::UniqueHandle;

struct ReadWritePipe::Native {
  // The open pipe. A call holds it (HandleUse) for as long as it uses it, and
  // close cancels the I/O of the calls under way but leaves the handle to the
  // last of them to close: a handle closed while another thread is about to
  // use it may already name something else (the system reuses handle values
  // at once), and that thread's call would then act on that.
  std::mutex mutex;
  HANDLE pipe = INVALID_HANDLE_VALUE;  // guarded by mutex
  int users = 0;                       // guarded by mutex
  std::atomic<bool> closed{false};     // written under mutex
  UniqueHandle readEvent;   // hEvent of every read's OVERLAPPED record
  UniqueHandle writeEvent;  // the same for writes, so both directions can be in flight
};

namespace {

// A call's hold on the pipe's handle; the invalid handle once the pipe is
// closed. The last holder after close closes the handle.
class HandleUse {
 public:
  explicit HandleUse(ReadWritePipe::Native& native) : native_(native) {
    std::lock_guard<std::mutex> lock(native_.mutex);
    if (native_.closed.load()) return;
    handle_ = native_.pipe;
    ++native_.users;
  }
  ~HandleUse() {
    if (handle_ == INVALID_HANDLE_VALUE) return;
    UniqueHandle last;
    {
      std::lock_guard<std::mutex> lock(native_.mutex);
      if (--native_.users == 0 && native_.closed.load()) last.reset(std::exchange(native_.pipe, INVALID_HANDLE_VALUE));
    }
  }
  HandleUse(const HandleUse&) = delete;
  HandleUse& operator=(const HandleUse&) = delete;

  HANDLE get() const { return handle_; }

  // After an overlapped operation was started: one that close has missed
  // (it began after close cancelled the calls under way) is cancelled here,
  // as close sets its flag before it cancels.
  void cancelIfClosed(OVERLAPPED& overlapped) const {
    if (native_.closed.load()) CancelIoEx(handle_, &overlapped);
  }

 private:
  ReadWritePipe::Native& native_;
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

}  // namespace

std::shared_ptr<ReadWritePipe> ReadWritePipe::connect(const std::string& name, std::int64_t timeoutMs) {
  const Deadline deadline(timeoutMs);
  for (;;) {
    const std::int64_t remaining = deadline.remainingMs();
    if (remaining <= 0) {
      SetLastError(ERROR_TIMEOUT);
      return nullptr;
    }
    // 0 and 0xFFFFFFFF are the special "server default" and "forever" waits.
    const DWORD wait = static_cast<DWORD>(std::min<std::int64_t>(remaining, 0xFFFFFFFE));
    if (!WaitNamedPipeA(name.c_str(), wait)) {
      const DWORD error = GetLastError();
      if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_DATA) {
        // The server has not created the pipe yet, or its one free instance
        // is still held by a client that left before the server took it up
        // (the server frees it at its next accept).
        Sleep(static_cast<DWORD>(std::min<std::int64_t>(5, remaining)));
        continue;
      }
      LOG_ERROR("Failed to connect WaitNamedPipeA %s : %s", name.c_str(), lastSystemErrorText().c_str());
      SetLastError(error);
      return nullptr;
    }
    UniqueHandle pipe(CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OVERLAPPED, nullptr));
    if (pipe) {
      auto native = std::make_unique<Native>();
      native->pipe = pipe.release();  // not shared yet
      return std::shared_ptr<ReadWritePipe>(new ReadWritePipe(name, std::move(native)));
    }
    if (GetLastError() == ERROR_PIPE_BUSY) continue;  // another client took the free instance
    return nullptr;  // the caller reports CreateFileA's error
  }
}

ReadWritePipe::ReadWritePipe(std::string name, std::unique_ptr<Native> native)
    : name_(std::move(name)), native_(std::move(native)) {
  native_->readEvent.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
  native_->writeEvent.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
}

ReadWritePipe::~ReadWritePipe() {
  // No call is under way any more: the handle, if still there, is this one's.
  UniqueHandle pipe(std::exchange(native_->pipe, INVALID_HANDLE_VALUE));
  if (pipe && !native_->closed.load()) FlushFileBuffers(pipe.get());
  native_->readEvent.reset();
  native_->writeEvent.reset();
  pipe.reset();
}

bool ReadWritePipe::isClosed() const { return native_->closed.load(); }

void ReadWritePipe::close() {
  UniqueHandle pipe;
  {
    std::lock_guard<std::mutex> lock(native_->mutex);
    if (native_->closed.exchange(true) || native_->pipe == INVALID_HANDLE_VALUE) return;
    // Still open here, whoever closes it: the calls under way end now.
    if (!CancelIoEx(native_->pipe, nullptr) && GetLastError() != ERROR_NOT_FOUND) {
      LOG_ERROR("Failed to cancel IO: %s", lastSystemErrorText().c_str());
    }
    if (native_->users == 0) pipe.reset(std::exchange(native_->pipe, INVALID_HANDLE_VALUE));
  }
  if (pipe && !pipe.reset()) {
    LOG_ERROR("Failed to close pipe handle: %s", lastSystemErrorText().c_str());
  }
}

void ReadWritePipe::recordError(std::uint32_t code) {
  if (code == ERROR_BROKEN_PIPE || code == ERROR_NO_DATA || code == ERROR_OPERATION_ABORTED) return;
  if (code == ERROR_INVALID_HANDLE && isClosed()) return;
  lastError_.store(code, std::memory_order_relaxed);
}

bool ReadWritePipe::read(void* data, std::uint32_t& size) {
  lastError_.store(0, std::memory_order_relaxed);
  OVERLAPPED overlapped{};
  overlapped.hEvent = native_->readEvent.get();
  const HandleUse use(*native_);
  const HANDLE pipe = use.get();
  if (pipe == INVALID_HANDLE_VALUE) return false;  // closed: a quiet end
  DWORD transferred = 0;
  bool done = ReadFile(pipe, data, size, nullptr, &overlapped) != FALSE;
  if (!done && GetLastError() == ERROR_IO_PENDING) {
    use.cancelIfClosed(overlapped);
    done = GetOverlappedResult(pipe, &overlapped, &transferred, TRUE) != FALSE;
  }
  if (done) {
    if (transferred == 0) GetOverlappedResult(pipe, &overlapped, &transferred, FALSE);
    size = transferred;
    return true;
  }
  recordError(GetLastError());
  return false;
}

bool ReadWritePipe::write(const void* data, std::uint32_t& size, std::int64_t timeoutMs) {
  const Deadline deadline(timeoutMs);
  lastError_.store(0, std::memory_order_relaxed);
  OVERLAPPED overlapped{};
  overlapped.hEvent = native_->writeEvent.get();
  const HandleUse use(*native_);
  const HANDLE pipe = use.get();
  if (pipe == INVALID_HANDLE_VALUE) return false;  // closed: a quiet end
  DWORD transferred = 0;
  if (WriteFile(pipe, data, size, nullptr, &overlapped)) {
    GetOverlappedResult(pipe, &overlapped, &transferred, FALSE);
    size = transferred;
    return true;
  }
  DWORD error = GetLastError();
  if (error == ERROR_IO_PENDING) {
    use.cancelIfClosed(overlapped);
    if (GetOverlappedResult(pipe, &overlapped, &transferred, timeoutMs == 0 ? TRUE : FALSE)) {
      size = transferred;
      return true;
    }
    error = GetLastError();
    while (timeoutMs != 0 && error == ERROR_IO_INCOMPLETE) {
      if (deadline.hasPassed()) {
        CancelIoEx(pipe, &overlapped);
        // The system still owns overlapped and data until the cancelled
        // operation completes: wait for that before the stack frame goes.
        if (GetOverlappedResult(pipe, &overlapped, &transferred, TRUE)) {
          size = transferred;  // it finished before the cancel took hold
          return true;
        }
        error = ERROR_TIMEOUT;
        break;
      }
      Sleep(1);
      if (GetOverlappedResult(pipe, &overlapped, &transferred, FALSE)) {
        size = transferred;
        return true;
      }
      error = GetLastError();
    }
  }
  recordError(error);
  return false;
}

bool ReadWritePipe::flush() {
  lastError_.store(0, std::memory_order_relaxed);
  const HandleUse use(*native_);
  if (use.get() == INVALID_HANDLE_VALUE) return false;  // closed: a quiet end
  if (FlushFileBuffers(use.get())) return true;
  recordError(GetLastError());
  return false;
}

}  // namespace Orvel
