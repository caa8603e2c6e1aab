// What ends this process from inside, handed to the program first: a crash
// on any thread, and a call of the C library's exit. A run without isolation
// uses it to report a plugin that takes the process down.
#pragma once
#include <cstdint>

namespace Orvel::platform {

// Called on the thread that crashed with the crash's code (the signal
// number on Linux: SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT; the exception
// code on Windows), once. It should end the process; when it returns, the
// crash ends the process as the system would. Its work is bounded: a handler
// that does not end the process within 30 s is ended by the system (Linux:
// SIGALRM). On Windows it runs on the crashed thread too (a new thread could
// not start while the loader lock is held), except after a stack overflow,
// which leaves that thread no stack: then on a fresh thread. No fault dialog
// or debugger is started, and a crash that it leaves ends the process with
// the exception code.
using CrashHandler = void (*)(std::int64_t code);
// Null: the handling in force before the handler was set comes back.
void setCrashHandler(CrashHandler handler);

// Called with the status when exit() is called (Linux; also for the program's
// own end, which the handler tells apart). It may end the process itself.
// Windows does not tell a program that exit or ExitProcess was called, nor
// with which status: the handler is never called there.
using ExitHandler = void (*)(int status);
// Null: nothing is called.
void setExitHandler(ExitHandler handler);

}  // namespace Orvel::platform
