#include "platform/FatalEvents.h"

#include <atomic>
#include <csignal>
#include <iterator>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

namespace Orvel::platform {

namespace {

constexpr int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
// Room for writing the reports after the stack overflowed.
constexpr std::size_t kAlternateStackBytes = 1 << 20;
constexpr unsigned kHandlerSeconds = 30;

std::atomic<CrashHandler> crashHandler{nullptr};
std::atomic<ExitHandler> exitHandler{nullptr};
std::atomic<bool> exitHandlerRegistered{false};
// The actions in force before the handler was set, given back when it is unset.
struct sigaction previousActions[std::size(kCrashSignals)];
bool handlerSet = false;

void onCrash(int signal, siginfo_t*, void*) {
  const CrashHandler handler = crashHandler.exchange(nullptr);
  if (handler != nullptr) {
    ::alarm(kHandlerSeconds);
    handler(signal);
  }
  // The handler was reset on entry (SA_RESETHAND): raised again, the signal
  // ends the process as the system would.
  ::raise(signal);
}

void onExit(int status, void*) {
  const ExitHandler handler = exitHandler.load();
  if (handler != nullptr) handler(status);
}

// The thread that sets the handler (the one that calls the plugin) gets a
// stack of its own for handling a crash; other threads handle it on theirs.
void giveAlternateStack() {
  stack_t current{};
  if (::sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_DISABLE) == 0 &&
      current.ss_size >= kAlternateStackBytes) {
    return;
  }
  void* memory = ::mmap(nullptr, kAlternateStackBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) return;
  stack_t stack{};
  stack.ss_sp = memory;
  stack.ss_size = kAlternateStackBytes;
  // Kept for the life of the process: a later crash may still need it.
  if (::sigaltstack(&stack, nullptr) != 0) ::munmap(memory, kAlternateStackBytes);
}

}  // namespace

void setCrashHandler(CrashHandler handler) {
  crashHandler.store(handler);
  if (handler == nullptr) {
    if (!handlerSet) return;
    for (std::size_t i = 0; i < std::size(kCrashSignals); ++i) ::sigaction(kCrashSignals[i], &previousActions[i], nullptr);
    handlerSet = false;
    return;
  }
  giveAlternateStack();
  struct sigaction action {};
  sigemptyset(&action.sa_mask);
  action.sa_sigaction = onCrash;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
  for (std::size_t i = 0; i < std::size(kCrashSignals); ++i) {
    ::sigaction(kCrashSignals[i], &action, handlerSet ? nullptr : &previousActions[i]);
  }
  handlerSet = true;
}

void setExitHandler(ExitHandler handler) {
  exitHandler.store(handler);
  if (handler != nullptr && !exitHandlerRegistered.exchange(true)) ::on_exit(onExit, nullptr);
}

}  // namespace Orvel::platform
