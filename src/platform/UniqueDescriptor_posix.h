// The owner of a POSIX file descriptor: closes it when destroyed or reset,
// so that no error path closes a descriptor by hand. Moved, never copied.
// Only *_posix.cpp files include it.
#pragma once
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace Orvel::platform {

class UniqueDescriptor {
 public:
  UniqueDescriptor() = default;
  explicit UniqueDescriptor(int descriptor) : descriptor_(descriptor) {}
  ~UniqueDescriptor() { reset(); }
  UniqueDescriptor(UniqueDescriptor&& other) noexcept : descriptor_(other.release()) {}
  UniqueDescriptor& operator=(UniqueDescriptor&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueDescriptor(const UniqueDescriptor&) = delete;
  UniqueDescriptor& operator=(const UniqueDescriptor&) = delete;

  int get() const { return descriptor_; }
  explicit operator bool() const { return descriptor_ >= 0; }
  // Lets the descriptor go without closing it.
  int release() { return std::exchange(descriptor_, -1); }
  // Closes what is held, then holds `descriptor`.
  void reset(int descriptor = -1) {
    const int old = std::exchange(descriptor_, descriptor);
    if (old >= 0) ::close(old);
  }

 private:
  int descriptor_ = -1;
};

// Both ends of a new pipe, each closed on exec; false when the system has no
// pipe to give.
inline bool makePipe(UniqueDescriptor& readEnd, UniqueDescriptor& writeEnd) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return false;
  readEnd.reset(ends[0]);
  writeEnd.reset(ends[1]);
  return true;
}

}  // namespace Orvel::platform
