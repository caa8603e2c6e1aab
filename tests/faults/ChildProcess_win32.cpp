// Implementation here must contain only Win32 specific code.
#include "ChildProcess.h"

#include "platform/UniqueHandle_win32.h"

#include <mutex>

#include "logging/StringUtil.h"

namespace Orvel::Test {

namespace {

// One argument as the C runtime of the child splits it again: quoted only
// when it holds a blank, with the backslashes before a quote doubled.
std::wstring quoted(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
  std::wstring text = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    text.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    text.push_back(c);
  }
  text.append(backslashes * 2, L'\\');
  return text + L"\"";
}

}  // namespace

using platform::UniqueHandle;

struct ChildProcess::Native {
  UniqueHandle process;
  UniqueHandle output;  // read end of the child's standard output
  std::mutex mutex;
  bool ended = false;
};

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments)
    : native_(std::make_unique<Native>()) {
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  UniqueHandle readEnd;
  UniqueHandle writeEnd;
  if (!CreatePipe(readEnd.receive(), writeEnd.receive(), &inheritable, 0)) return;
  SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);
  // The parent's copies of the child's handles go when this returns.
  const UniqueHandle nullInput(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                           OPEN_EXISTING, 0, nullptr));
  const UniqueHandle nullOutput(CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                            OPEN_EXISTING, 0, nullptr));
  std::wstring commandLine = quoted(strutil::utf8ToWide(program));
  for (const auto& argument : arguments) commandLine += L" " + quoted(strutil::utf8ToWide(argument));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nullInput.get();
  startup.hStdOutput = writeEnd.get();
  startup.hStdError = nullOutput.get();
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                      &startup, &info)) {
    return;
  }
  const UniqueHandle thread(info.hThread);
  native_->process.reset(info.hProcess);
  native_->output = std::move(readEnd);
}

ChildProcess::~ChildProcess() { kill(); }

bool ChildProcess::started() const { return static_cast<bool>(native_->process); }

std::size_t ChildProcess::readOutput(char* buffer, std::size_t size) {
  if (!native_->output) return 0;
  DWORD got = 0;
  if (!ReadFile(native_->output.get(), buffer, static_cast<DWORD>(size), &got, nullptr)) return 0;
  return got;
}

void ChildProcess::kill() {
  std::lock_guard<std::mutex> lock(native_->mutex);
  if (!native_->process || native_->ended) return;
  TerminateProcess(native_->process.get(), 9);
  WaitForSingleObject(native_->process.get(), INFINITE);
  native_->ended = true;
}

}  // namespace Orvel::Test
