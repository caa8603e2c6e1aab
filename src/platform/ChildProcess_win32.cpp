// Implementation here must contain only Win32 specific code.
#include "platform/ChildProcess.h"

#include "platform/UniqueHandle_win32.h"

#include <array>
#include <atomic>
#include <cstdio>
#include <vector>

namespace Orvel::platform {

namespace {

// The jobs of the children that run now, so that an interruption can end
// them from the console's handler thread: lock-free slots.
std::array<std::atomic<HANDLE>, kMostRunningChildren> runningJobs{};
void (*interruptionCleanup)() = nullptr;

void addRunningJob(HANDLE job) {
  for (auto& slot : runningJobs) {
    HANDLE none = nullptr;
    if (slot.compare_exchange_strong(none, job)) return;
  }
}

void removeRunningJob(HANDLE job) {
  for (auto& slot : runningJobs) {
    HANDLE expected = job;
    if (slot.compare_exchange_strong(expected, nullptr)) return;
  }
}

BOOL WINAPI endOnInterruption(DWORD) {
  for (auto& slot : runningJobs) {
    const HANDLE job = slot.load();
    if (job != nullptr) TerminateJobObject(job, 1);
  }
  if (interruptionCleanup != nullptr) interruptionCleanup();
  // The status of a process that Ctrl-C ended.
  TerminateProcess(GetCurrentProcess(), 0xC000013Au);
  return TRUE;
}

// A job whose processes end when its last handle closes: when this process
// ends, however it ends, its children go with it. Null where the system
// refuses one.
HANDLE makeKillingJob() {
  const HANDLE job = CreateJobObjectA(nullptr, nullptr);
  if (job == nullptr) return nullptr;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
    CloseHandle(job);
    return nullptr;
  }
  return job;
}

// One argument as the C runtime of the child splits it again: quoted only
// when it holds a blank or a quote, with the backslashes before a quote doubled.
std::string quoted(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
  std::string text = "\"";
  std::size_t backslashes = 0;
  for (const char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    text.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    text.push_back(c);
  }
  text.append(backslashes * 2, '\\');
  return text + "\"";
}

// Exception codes that end a process: error severity (0xC...) and the few
// warnings that do when nobody handles them.
bool isExceptionCode(DWORD code) {
  return (code & 0xF0000000u) == 0xC0000000u || code == 0x80000002u || code == 0x80000003u || code == 0x80000004u;
}

// Writes all of text to a pipe, blocking; false when its reader is gone.
bool writeAll(HANDLE pipe, const std::string& text) {
  std::size_t written = 0;
  while (written < text.size()) {
    DWORD done = 0;
    if (!WriteFile(pipe, text.data() + written, static_cast<DWORD>(text.size() - written), &done, nullptr) || done == 0) {
      return false;
    }
    written += done;
  }
  return true;
}

LONG WINAPI endWithExceptionCode(EXCEPTION_POINTERS* exception) {
  TerminateProcess(GetCurrentProcess(), exception->ExceptionRecord->ExceptionCode);
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

std::string describeCrash(std::int64_t code) {
  char text[64];
  std::snprintf(text, sizeof text, "exception 0x%lX", static_cast<unsigned long>(code));
  const char* name = nullptr;
  switch (static_cast<DWORD>(code)) {
    case 0xC0000005u: name = "access violation"; break;
    case 0xC00000FDu: name = "stack overflow"; break;
    case 0xC000001Du: name = "illegal instruction"; break;
    case 0xC0000094u: name = "integer divide by zero"; break;
    case 0x80000003u: name = "breakpoint"; break;
    default: break;
  }
  return name != nullptr ? std::string(text) + " (" + name + ")" : std::string(text);
}

struct ChildProcess::Native {
  UniqueHandle job;  // the child and what it starts; may be empty
  UniqueHandle process;
  UniqueHandle streams[2];  // read ends: output, channel
  UniqueHandle input;       // write end of the child's standard input
  bool ended = false;
  ChildEnd end;
};

ChildProcess::ChildProcess(const Program& program, const std::string& channelKey, const std::string& channelTag)
    : native_(std::make_unique<Native>()) {
  const bool withChannel = !channelKey.empty();
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  UniqueHandle outputRead, outputWrite;
  UniqueHandle channelRead, channelWrite;
  UniqueHandle inputRead, inputWrite;
  UniqueHandle errorCopy;
  if (!CreatePipe(outputRead.receive(), outputWrite.receive(), &inheritable, 0) ||
      (withChannel && !CreatePipe(channelRead.receive(), channelWrite.receive(), &inheritable, 0)) ||
      !CreatePipe(inputRead.receive(), inputWrite.receive(), &inheritable, 0)) {
    return;
  }
  // The parent's ends stay with the parent.
  for (const UniqueHandle* handle : {&outputRead, &channelRead, &inputWrite}) {
    if (*handle) SetHandleInformation(handle->get(), HANDLE_FLAG_INHERIT, 0);
  }
  const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  if (error != nullptr && error != INVALID_HANDLE_VALUE) {
    DuplicateHandle(GetCurrentProcess(), error, GetCurrentProcess(), errorCopy.receive(), 0, TRUE,
                    DUPLICATE_SAME_ACCESS);
  }

  std::string commandLine;
  if (program.path.empty()) {
    char self[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
    commandLine = quoted(std::string(self, length));
  } else {
    commandLine = quoted(program.path);
  }
  if (withChannel) {
    commandLine += " " + quoted(channelKey + "=" + std::to_string(reinterpret_cast<std::uintptr_t>(channelWrite.get())) +
                                (channelTag.empty() ? "" : ":" + channelTag));
  }
  for (const std::string& argument : program.arguments) commandLine += " " + quoted(argument);

  STARTUPINFOEXA startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdInput = inputRead.get();
  startup.StartupInfo.hStdOutput = outputWrite.get();
  startup.StartupInfo.hStdError = errorCopy.get();
  // The child inherits its own ends and nothing else of this process: not
  // this process's standard output, which a plugin could otherwise write to
  // past the relay.
  std::vector<HANDLE> inherited;
  for (const UniqueHandle* handle : {&inputRead, &outputWrite, &errorCopy, &channelWrite}) {
    if (*handle) inherited.push_back(handle->get());
  }
  // The job exists, and an interruption knows it, before the child does: the
  // child is created in it (where the system can), so that this process's
  // end at any moment, another thread's start of a child included, ends it.
  native_->job.reset(makeKillingJob());
  if (native_->job) addRunningJob(native_->job.get());
  HANDLE job = native_->job.get();
  SIZE_T listSize = 0;
  InitializeProcThreadAttributeList(nullptr, 2, 0, &listSize);
  std::vector<char> listBytes(listSize);
  auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(listBytes.data());
  const bool listed = listSize != 0 && InitializeProcThreadAttributeList(list, 2, 0, &listSize) &&
                      UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited.data(),
                                                inherited.size() * sizeof(HANDLE), nullptr, nullptr);
  const bool inJob = listed && job != nullptr &&
                     UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_JOB_LIST, &job, sizeof job, nullptr,
                                               nullptr);
  if (listed) startup.lpAttributeList = list;
  PROCESS_INFORMATION info{};
  // Started suspended, so that it is in its job before it can start anything.
  const DWORD flags = CREATE_SUSPENDED | (listed ? EXTENDED_STARTUPINFO_PRESENT : 0);
  const BOOL created = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr,
                                      &startup.StartupInfo, &info);
  if (listed) DeleteProcThreadAttributeList(list);
  // The parent's copies of the child's ends go when this returns, so that
  // the parent sees its streams end when the child ends.
  if (!created) {
    if (job != nullptr) removeRunningJob(job);
    native_->job.reset();
    return;
  }
  UniqueHandle thread(info.hThread);
  native_->process.reset(info.hProcess);
  // Where the system took no job at creation, the child joins it now.
  BOOL member = FALSE;
  if (job != nullptr && !(inJob && IsProcessInJob(info.hProcess, job, &member) && member) &&
      !AssignProcessToJobObject(job, info.hProcess)) {
    removeRunningJob(job);
    native_->job.reset();
  }
  ResumeThread(info.hThread);
  native_->streams[0] = std::move(outputRead);
  native_->streams[1] = std::move(channelRead);
  native_->input = std::move(inputWrite);
}

ChildProcess::~ChildProcess() {
  kill();
  wait();
  if (native_->job) removeRunningJob(native_->job.get());
}

bool ChildProcess::started() const { return static_cast<bool>(native_->process); }

ChildProcess::Read ChildProcess::readAvailable(Stream stream, std::string& text) {
  UniqueHandle& handle = native_->streams[stream == Stream::Output ? 0 : 1];
  if (!handle) return Read::Ended;
  DWORD available = 0;
  if (!PeekNamedPipe(handle.get(), nullptr, 0, nullptr, &available, nullptr)) {
    // Every writer's end is closed and everything was read.
    handle.reset();
    return Read::Ended;
  }
  if (available == 0) return Read::Nothing;
  const std::size_t size = text.size();
  const DWORD wanted = available < kReadLimit ? available : static_cast<DWORD>(kReadLimit);
  text.resize(size + wanted);
  DWORD got = 0;
  const BOOL read = ReadFile(handle.get(), text.data() + size, wanted, &got, nullptr);
  text.resize(size + got);
  if (!read) {
    handle.reset();
    return got > 0 ? Read::Data : Read::Ended;
  }
  return Read::Data;
}

ChildProcess::Read ChildProcess::readWaiting(Stream stream, std::string& text) {
  UniqueHandle& handle = native_->streams[stream == Stream::Output ? 0 : 1];
  if (!handle) return Read::Ended;
  char buffer[65536];
  DWORD got = 0;
  // Blocks until the child writes or its end is closed.
  if (!ReadFile(handle.get(), buffer, sizeof buffer, &got, nullptr)) {
    handle.reset();
    return Read::Ended;
  }
  text.append(buffer, got);
  return Read::Data;
}

void ChildProcess::waitForData(int milliseconds, bool output) {
  // Anonymous pipes cannot be waited for: look every millisecond.
  const ULONGLONG until = GetTickCount64() + static_cast<ULONGLONG>(milliseconds);
  for (;;) {
    for (int i = output ? 0 : 1; i < 2; ++i) {
      const UniqueHandle& handle = native_->streams[i];
      if (!handle) continue;
      DWORD available = 0;
      if (!PeekNamedPipe(handle.get(), nullptr, 0, nullptr, &available, nullptr) || available > 0) return;
    }
    if (hasEnded() || GetTickCount64() >= until) return;
    Sleep(1);
  }
}

bool ChildProcess::hasEnded() {
  return !native_->process || native_->ended || WaitForSingleObject(native_->process.get(), 0) == WAIT_OBJECT_0;
}

bool ChildProcess::writeInput(const std::string& text) { return native_->input && writeAll(native_->input.get(), text); }

void ChildProcess::kill() {
  if (!native_->process || native_->ended) return;
  if (native_->job) TerminateJobObject(native_->job.get(), 1);
  TerminateProcess(native_->process.get(), 1);
}

ChildEnd ChildProcess::wait() {
  if (!native_->process || native_->ended) return native_->end;
  WaitForSingleObject(native_->process.get(), INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(native_->process.get(), &code);
  native_->ended = true;
  // What the child left running goes with it.
  if (native_->job) TerminateJobObject(native_->job.get(), 1);
  if (isExceptionCode(code)) {
    native_->end = {ChildEnd::Kind::Crashed, static_cast<std::int64_t>(code)};
  } else {
    native_->end = {ChildEnd::Kind::Exited, static_cast<std::int32_t>(code)};
  }
  return native_->end;
}

struct ParentChannel::Native {
  UniqueHandle pipe;  // the write end the parent passed down
  std::string prefix;
};

ParentChannel::ParentChannel(const std::string& name, std::string linePrefix) : native_(std::make_unique<Native>()) {
  native_->pipe.reset(reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(std::stoull(name))));
  native_->prefix = std::move(linePrefix);
  // A process the plugin starts does not get it.
  SetHandleInformation(native_->pipe.get(), HANDLE_FLAG_INHERIT, 0);
}

ParentChannel::~ParentChannel() = default;

bool ParentChannel::writeLine(const std::string& line) {
  return writeAll(native_->pipe.get(), native_->prefix + line + "\n");
}

void endProcessOnCrash() {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  SetUnhandledExceptionFilter(endWithExceptionCode);
}

void endChildrenOnInterruption(void (*cleanup)()) {
  interruptionCleanup = cleanup;
  SetConsoleCtrlHandler(endOnInterruption, TRUE);
}

void endProcessNow(int status) {
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
  // Not reached; TerminateProcess of the own process does not return.
  ExitProcess(static_cast<UINT>(status));
}

}  // namespace Orvel::platform
