#include "platform/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include "platform/SystemError.h"

namespace Orvel::platform {

namespace {

bool writeAll(int file, const std::string& contents) {
  std::size_t written = 0;
  while (written < contents.size()) {
    const ssize_t done = ::write(file, contents.data() + written, contents.size() - written);
    if (done < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    written += static_cast<std::size_t>(done);
  }
  return true;
}

}  // namespace

bool writeFileAtomically(const std::string& path, const std::string& contents, std::string& errorText) {
  const std::string temporary = path + "." + std::to_string(::getpid()) + ".tmp";
  const int file = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (file < 0) {
    errorText = formatSystemError(static_cast<std::uint32_t>(errno));
    return false;
  }
  int error = writeAll(file, contents) ? 0 : errno;
  if (::close(file) != 0 && error == 0) error = errno;
  if (error == 0 && std::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
  if (error == 0) return true;
  ::unlink(temporary.c_str());
  errorText = formatSystemError(static_cast<std::uint32_t>(error));
  return false;
}

}  // namespace Orvel::platform
