// Implementation here must contain only Win32 specific code.
#include "ipc/PipeConnection.h"

#include "ipc/PipeConnectionNative_win32.h"

namespace Orvel {

PipeConnection::PipeConnection(std::unique_ptr<Native> native) : native_(std::move(native)) {}

PipeConnection::~PipeConnection() {
  close();
  CloseHandle(native_->readEvent);
  CloseHandle(native_->writeEvent);
}

PipeConnection::ReadStatus PipeConnection::readSome(void* data, std::size_t& size, std::chrono::milliseconds bound) {
  const HANDLE pipe = native_->pipe.load();
  OVERLAPPED overlapped{};
  overlapped.hEvent = native_->readEvent;
  ResetEvent(overlapped.hEvent);
  DWORD transferred = 0;
  if (!ReadFile(pipe, data, static_cast<DWORD>(size), nullptr, &overlapped)) {
    if (GetLastError() != ERROR_IO_PENDING) return ReadStatus::End;
    const DWORD wait = bound.count() < 0x7FFFFFFF ? static_cast<DWORD>(bound.count()) : 0x7FFFFFFF;
    if (WaitForSingleObject(overlapped.hEvent, wait) != WAIT_OBJECT_0) {
      CancelIoEx(pipe, &overlapped);
      // The system owns the buffer until the cancelled read completes.
      if (!GetOverlappedResult(pipe, &overlapped, &transferred, TRUE)) {
        return GetLastError() == ERROR_OPERATION_ABORTED ? ReadStatus::TimedOut : ReadStatus::End;
      }
    }
  }
  if (!GetOverlappedResult(pipe, &overlapped, &transferred, TRUE)) return ReadStatus::End;
  size = transferred;
  return ReadStatus::Data;
}

bool PipeConnection::writeAll(const void* data, std::size_t size) {
  const HANDLE pipe = native_->pipe.load();
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  while (size > 0) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = native_->writeEvent;
    ResetEvent(overlapped.hEvent);
    DWORD written = 0;
    if (!WriteFile(pipe, bytes, static_cast<DWORD>(size), nullptr, &overlapped) && GetLastError() != ERROR_IO_PENDING) {
      return false;
    }
    if (!GetOverlappedResult(pipe, &overlapped, &written, TRUE) || written == 0) return false;
    bytes += written;
    size -= written;
  }
  return true;
}

bool PipeConnection::writeAvailable(const void* data, std::size_t& size) {
  const HANDLE pipe = native_->pipe.load();
  OVERLAPPED overlapped{};
  overlapped.hEvent = native_->writeEvent;
  ResetEvent(overlapped.hEvent);
  DWORD written = 0;
  if (!WriteFile(pipe, data, static_cast<DWORD>(size), nullptr, &overlapped)) {
    if (GetLastError() != ERROR_IO_PENDING) return false;
    if (!GetOverlappedResult(pipe, &overlapped, &written, FALSE)) {
      if (GetLastError() != ERROR_IO_INCOMPLETE) return false;
      // The pipe is full: cancel, and count what the cancelled write still
      // put into the pipe. The system owns the data until the write has ended.
      CancelIoEx(pipe, &overlapped);
      if (!GetOverlappedResult(pipe, &overlapped, &written, TRUE) && GetLastError() != ERROR_OPERATION_ABORTED) {
        return false;
      }
    }
  } else if (!GetOverlappedResult(pipe, &overlapped, &written, TRUE)) {
    return false;
  }
  size = written;
  return true;
}

void PipeConnection::close() {
  const HANDLE pipe = native_->pipe.exchange(INVALID_HANDLE_VALUE);
  if (pipe == INVALID_HANDLE_VALUE) return;
  CancelIoEx(pipe, nullptr);
  CloseHandle(pipe);
}

}  // namespace Orvel
