// Implementation here must contain only Win32 specific code.
#include "ipc/PipeServer.h"

#include "ipc/PipeConnectionNative_win32.h"

namespace Orvel {

using platform::UniqueHandle;

struct PipeServer::Native {
  UniqueHandle instance;  // the instance waiting for the next client
  UniqueHandle connectEvent{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
};

namespace {

// The first instance insists on being first, so that a second server of the
// same name fails instead of taking some of the clients.
UniqueHandle createInstance(const std::string& name, std::uint32_t bufferSize, bool first) {
  const DWORD firstFlag = first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0;
  return UniqueHandle(CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | firstFlag,
                                       PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES,
                                       bufferSize, bufferSize, 0, nullptr));
}

// True when some server already offers the pipe: a client could wait for
// it. Wine ignores FILE_FLAG_FIRST_PIPE_INSTANCE, so this is asked first.
bool pipeExists(const std::string& name) {
  if (WaitNamedPipeA(name.c_str(), 1)) return true;
  // Every instance busy, or one held by a client that has already left.
  const DWORD error = GetLastError();
  return error == ERROR_SEM_TIMEOUT || error == ERROR_NO_DATA;
}

}  // namespace

PipeServer::PipeServer(std::string name, std::uint32_t bufferSize)
    : name_(std::move(name)), bufferSize_(bufferSize), native_(std::make_unique<Native>()) {
  if (pipeExists(name_)) {
    errorCode_ = ERROR_ALREADY_EXISTS;
    return;
  }
  native_->instance = createInstance(name_, bufferSize_, true);
  if (!native_->instance) errorCode_ = GetLastError();
}

PipeServer::~PipeServer() = default;

bool PipeServer::isListening() const { return static_cast<bool>(native_->instance); }

std::unique_ptr<PipeConnection> PipeServer::accept(std::chrono::milliseconds bound) {
  const HANDLE instance = native_->instance.get();
  if (!native_->instance) return nullptr;
  OVERLAPPED overlapped{};
  overlapped.hEvent = native_->connectEvent.get();
  ResetEvent(overlapped.hEvent);
  bool connected = ConnectNamedPipe(instance, &overlapped) != FALSE;
  DWORD error = connected ? ERROR_SUCCESS : GetLastError();
  if (error == ERROR_NO_DATA) {
    // A client connected and closed its end before this call. The instance
    // takes no other client until it is disconnected, and would refuse every
    // later call at once: the server would accept nobody again.
    DisconnectNamedPipe(instance);
    ResetEvent(overlapped.hEvent);
    connected = ConnectNamedPipe(instance, &overlapped) != FALSE;
    error = connected ? ERROR_SUCCESS : GetLastError();
  }
  if (!connected) {
    if (error == ERROR_PIPE_CONNECTED) {
      connected = true;
    } else if (error == ERROR_IO_PENDING) {
      const DWORD wait = bound.count() < 0x7FFFFFFF ? static_cast<DWORD>(bound.count()) : 0x7FFFFFFF;
      if (WaitForSingleObject(overlapped.hEvent, wait) != WAIT_OBJECT_0) CancelIoEx(instance, &overlapped);
      DWORD ignored = 0;
      connected = GetOverlappedResult(instance, &overlapped, &ignored, TRUE) != FALSE;
    }
  }
  if (!connected) return nullptr;
  // The connected instance becomes the connection; a fresh one waits for the next client.
  auto native = std::make_unique<PipeConnection::Native>();
  native->pipe = native_->instance.release();
  native_->instance = createInstance(name_, bufferSize_, false);
  return std::make_unique<PipeConnection>(std::move(native));
}

}  // namespace Orvel
