// Owners of Win32 resources, one per way of giving one back: each holds one
// value and gives it back with its kind's call when it is destroyed or reset,
// so that no file closes a handle or frees a system buffer by hand. Moved,
// never copied. Only *_win32.cpp files include it.
#pragma once
#include <utility>

#include "platform/windows_include.h"

#include <combaseapi.h>

namespace Orvel::platform {

template <typename Traits>
class UniqueResource {
 public:
  using Value = typename Traits::Value;

  UniqueResource() = default;
  explicit UniqueResource(Value value) : value_(value) {}
  ~UniqueResource() { reset(); }
  UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;

  Value get() const { return value_; }
  explicit operator bool() const { return Traits::isValid(value_); }
  // Where a system call returns a new value through a pointer; what was held
  // is given back first.
  Value* receive() {
    reset();
    return &value_;
  }
  // Lets the value go without giving it back.
  Value release() { return std::exchange(value_, Traits::none()); }
  // Gives back what is held, then holds value. False when giving back failed
  // (the thread's last error says why); true when nothing was held.
  bool reset(Value value = Traits::none()) {
    const Value old = std::exchange(value_, value);
    return !Traits::isValid(old) || Traits::giveBack(old);
  }

 private:
  Value value_ = Traits::none();
};

// What CloseHandle closes: pipes, files, events, processes, threads. Calls
// that create them fail with either null or INVALID_HANDLE_VALUE, so neither
// counts as a handle.
struct CloseHandleTraits {
  using Value = HANDLE;
  static Value none() { return nullptr; }
  static bool isValid(Value value) { return value != nullptr && value != INVALID_HANDLE_VALUE; }
  static bool giveBack(Value value) { return CloseHandle(value) != FALSE; }
};
using UniqueHandle = UniqueResource<CloseHandleTraits>;

// A buffer that the system allocated for the caller and LocalFree frees
// (FormatMessage with FORMAT_MESSAGE_ALLOCATE_BUFFER).
template <typename T>
struct LocalFreeTraits {
  using Value = T*;
  static Value none() { return nullptr; }
  static bool isValid(Value value) { return value != nullptr; }
  static bool giveBack(Value value) { return LocalFree(value) == nullptr; }
};
template <typename T>
using UniqueLocalBuffer = UniqueResource<LocalFreeTraits<T>>;

// A buffer that CoTaskMemFree frees (SHGetKnownFolderPath).
template <typename T>
struct CoTaskMemFreeTraits {
  using Value = T*;
  static Value none() { return nullptr; }
  static bool isValid(Value value) { return value != nullptr; }
  static bool giveBack(Value value) {
    CoTaskMemFree(value);
    return true;
  }
};
template <typename T>
using UniqueCoTaskBuffer = UniqueResource<CoTaskMemFreeTraits<T>>;

}  // namespace Orvel::platform
