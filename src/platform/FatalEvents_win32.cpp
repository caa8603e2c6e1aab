// Implementation here must contain only Win32 specific code.
#include "platform/FatalEvents.h"

#include <atomic>

#include "platform/windows_include.h"

namespace Orvel::platform {

namespace {

constexpr DWORD kHandlerMilliseconds = 30000;

std::atomic<CrashHandler> crashHandler{nullptr};
LPTOP_LEVEL_EXCEPTION_FILTER systemFilter = nullptr;
bool filterSet = false;

struct Crash {
  CrashHandler handler;
  DWORD code;
};

DWORD WINAPI handleCrash(void* raw) {
  const Crash* crash = static_cast<const Crash*>(raw);
  crash->handler(static_cast<std::int64_t>(crash->code));
  return 0;
}

LONG WINAPI onUnhandledException(EXCEPTION_POINTERS* exception) {
  const DWORD code = exception->ExceptionRecord->ExceptionCode;
  const CrashHandler handler = crashHandler.exchange(nullptr);
  if (handler != nullptr && code != EXCEPTION_STACK_OVERFLOW) {
    // On the crashed thread itself: a new thread could not start while the
    // loader lock is held (a crash while the main thread unloads the library,
    // in its DllMain), and the process would go on to end as if nothing had
    // happened.
    handler(static_cast<std::int64_t>(code));
  } else if (handler != nullptr) {
    // After a stack overflow the crashed thread has almost no stack left: a
    // thread of its own.
    Crash crash{handler, code};
    const HANDLE thread = CreateThread(nullptr, 0, handleCrash, &crash, 0, nullptr);
    if (thread != nullptr) {
      WaitForSingleObject(thread, kHandlerMilliseconds);
      CloseHandle(thread);
    }
  }
  // No error report and no debugger: the process ends with the exception code.
  TerminateProcess(GetCurrentProcess(), code);
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

void setCrashHandler(CrashHandler handler) {
  crashHandler.store(handler);
  if (handler == nullptr) {
    if (filterSet) SetUnhandledExceptionFilter(systemFilter);
    filterSet = false;
    return;
  }
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  const LPTOP_LEVEL_EXCEPTION_FILTER previous = SetUnhandledExceptionFilter(onUnhandledException);
  if (!filterSet) systemFilter = previous;
  filterSet = true;
}

void setExitHandler(ExitHandler) {}

}  // namespace Orvel::platform
