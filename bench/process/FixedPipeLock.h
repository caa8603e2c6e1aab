// Exclusive use of the property server's fixed pipe name across processes:
// the same lock file that the end-to-end tests take (an flock on
// $TMPDIR/orvel-properties-service-pipe.lock), so that a benchmark never
// meets a test's server, nor a test the benchmark's.
#pragma once
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

namespace Orvel::Bench {

class FixedPipeLock {
 public:
  FixedPipeLock() {
    const char* folder = std::getenv("TMPDIR");
    const std::string path = std::string(folder != nullptr && folder[0] != '\0' ? folder : "/tmp") +
                             "/orvel-properties-service-pipe.lock";
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        ::close(fd_);
        throw std::runtime_error("cannot lock " + path + ": " + std::strerror(errno));
      }
    }
  }
  ~FixedPipeLock() {
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
  }
  FixedPipeLock(const FixedPipeLock&) = delete;
  FixedPipeLock& operator=(const FixedPipeLock&) = delete;

 private:
  int fd_ = -1;
};

}  // namespace Orvel::Bench
