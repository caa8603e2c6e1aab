#include "platform/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/SystemError.h"
#include "platform/TemporaryFileList.h"

namespace Orvel::platform {

namespace {

TemporaryFileList temporaryFiles;

// More links in a row than this are taken as a loop, as the system does.
constexpr int kMostLinks = 40;

bool fail(int error, std::string& errorText) {
  errorText = formatSystemError(static_cast<std::uint32_t>(error));
  return false;
}

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

bool isSameFile(const struct stat& file, int descriptor) {
  struct stat open {};
  return ::fstat(descriptor, &open) == 0 && open.st_dev == file.st_dev && open.st_ino == file.st_ino;
}

// Whether the path must be written in place: something that is not a regular
// file, or the file that this process's own output goes to (/dev/stdout
// redirected to a file), whose name a rename would take from that output.
bool isWrittenInPlace(const std::string& path) {
  struct stat file {};
  if (::stat(path.c_str(), &file) != 0) return false;
  return !S_ISREG(file.st_mode) || isSameFile(file, STDOUT_FILENO) || isSameFile(file, STDERR_FILENO);
}

// Appended, so that a file that also takes this process's output keeps it.
bool writeInPlace(const std::string& path, const std::string& contents, std::string& errorText) {
  const int file = ::open(path.c_str(), O_WRONLY | O_APPEND | O_NOCTTY | O_CLOEXEC);
  if (file < 0) return fail(errno, errorText);
  int error = writeAll(file, contents) ? 0 : errno;
  if (::close(file) != 0 && error == 0 && errno != EINTR) error = errno;
  return error == 0 || fail(error, errorText);
}

// The path with every symbolic link at its end followed, also to a file that
// does not exist yet; false with ELOOP for a loop.
bool followLinks(std::string& path, int& error) {
  for (int links = 0; links <= kMostLinks; ++links) {
    struct stat file {};
    if (::lstat(path.c_str(), &file) != 0 || !S_ISLNK(file.st_mode)) return true;
    std::string target(static_cast<std::size_t>(file.st_size > 0 ? file.st_size : 255) + 1, '\0');
    const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
    if (length < 0) {
      error = errno;
      return false;
    }
    target.resize(static_cast<std::size_t>(length));
    const std::size_t slash = path.rfind('/');
    path = target.front() == '/' || slash == std::string::npos ? target : path.substr(0, slash + 1) + target;
  }
  error = ELOOP;
  return false;
}

}  // namespace

bool writeFileAtomically(const std::string& path, const std::string& contents, std::string& errorText) {
  if (isWrittenInPlace(path)) return writeInPlace(path, contents, errorText);
  std::string destination = path;
  int error = 0;
  if (!followLinks(destination, error)) return fail(error, errorText);
  const std::string temporary = destination + "." + std::to_string(::getpid()) + ".tmp";
  const int slot = temporaryFiles.add(temporary);
  const int file = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (file < 0) {
    error = errno;
    temporaryFiles.remove(slot);
    return fail(error, errorText);
  }
  error = writeAll(file, contents) ? 0 : errno;
  if (::close(file) != 0 && error == 0) error = errno;
  if (error == 0 && std::rename(temporary.c_str(), destination.c_str()) != 0) error = errno;
  if (error != 0) ::unlink(temporary.c_str());
  temporaryFiles.remove(slot);
  return error == 0 || fail(error, errorText);
}

void removeTemporaryFiles() noexcept {
  temporaryFiles.removeAll([](const char* path) { ::unlink(path); });
}

}  // namespace Orvel::platform
