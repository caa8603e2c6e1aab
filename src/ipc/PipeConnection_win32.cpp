// Implementation here must contain only Win32 specific code.
#include "ipc/PipeConnection.h"

#include <algorithm>

#include "ipc/PipeConnectionNative_win32.h"

namespace Orvel {

namespace {

// The most that writeAvailable leaves to the system at once.
constexpr std::size_t kLargestPendingWrite = 64 * 1024;

enum class PendingWrite { None, Running, Failed };

// Ends the write that writeAvailable left pending, waiting for it or only
// looking: None once no write is pending (it ended whole), Running while it
// goes on, Failed when it ended without all of its bytes (the connection has
// ended).
PendingWrite finishPendingWrite(PipeConnection::Native& native, bool wait) {
  if (!native.writePending) return PendingWrite::None;
  DWORD written = 0;
  // The OVERLAPPED record's event is waited on, so the handle may already
  // have been closed.
  if (!GetOverlappedResult(native.pipe.load(), &native.pendingWrite, &written, wait ? TRUE : FALSE)) {
    if (!wait && GetLastError() == ERROR_IO_INCOMPLETE) return PendingWrite::Running;
    native.writePending = false;
    return PendingWrite::Failed;
  }
  native.writePending = false;
  return written == native.pendingBytes.size() ? PendingWrite::None : PendingWrite::Failed;
}

}  // namespace

PipeConnection::PipeConnection(std::unique_ptr<Native> native) : native_(std::move(native)) {}

PipeConnection::~PipeConnection() {
  close();
  // The system owns the pending write's record and bytes until it has ended,
  // cancelled by close.
  finishPendingWrite(*native_, true);
}

PipeConnection::ReadStatus PipeConnection::readSome(void* data, std::size_t& size, std::chrono::milliseconds bound) {
  const HANDLE pipe = native_->pipe.load();
  OVERLAPPED overlapped{};
  overlapped.hEvent = native_->readEvent.get();
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
  if (finishPendingWrite(*native_, true) == PendingWrite::Failed) return false;
  const HANDLE pipe = native_->pipe.load();
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  while (size > 0) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = native_->writeEvent.get();
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
  switch (finishPendingWrite(*native_, false)) {
    case PendingWrite::Running:
      size = 0;  // the client has not taken what came before
      return true;
    case PendingWrite::Failed:
      return false;
    case PendingWrite::None:
      break;
  }
  // A write that cannot complete at once is not cancelled: the count of
  // bytes that a cancelled write had already delivered is not reliable (Wine
  // reports none after the client has read some), and bytes sent twice or
  // lost would break the frames. It is left to the system instead, writing
  // from a copy, and ends before any later write.
  size = std::min(size, kLargestPendingWrite);
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  native_->pendingBytes.assign(bytes, bytes + size);
  OVERLAPPED& overlapped = native_->pendingWrite;
  overlapped = OVERLAPPED{};
  overlapped.hEvent = native_->writeEvent.get();
  ResetEvent(overlapped.hEvent);
  const HANDLE pipe = native_->pipe.load();
  if (!WriteFile(pipe, native_->pendingBytes.data(), static_cast<DWORD>(size), nullptr, &overlapped)) {
    if (GetLastError() != ERROR_IO_PENDING) return false;
    native_->writePending = true;
    return true;  // every byte is the system's to deliver
  }
  DWORD written = 0;
  if (!GetOverlappedResult(pipe, &overlapped, &written, TRUE)) return false;
  size = written;
  return true;
}

void PipeConnection::close() {
  platform::UniqueHandle pipe(native_->pipe.exchange(INVALID_HANDLE_VALUE));
  if (pipe) CancelIoEx(pipe.get(), nullptr);
}

}  // namespace Orvel
