// The temporary files that are being written at this moment, so that an
// interrupted process can remove them before it ends. A fixed number of
// slots of fixed size: taking and giving back a slot, and removing the files,
// allocate nothing and take no lock, so the removal is safe in a signal
// handler or on a console control handler's thread. Constant-initialized,
// so a list at namespace scope is ready before any code runs.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstring>
#include <string>

namespace Orvel::platform {

class TemporaryFileList {
 public:
  static constexpr int kNone = -1;

  // Takes a slot for the file at `path` before the file is made; kNone when
  // all slots are taken or the path does not fit (the file is then written
  // but not removed on an interruption).
  int add(const std::string& path) noexcept {
    if (path.size() >= kLongestPath) return kNone;
    for (int i = 0; i < kSlots; ++i) {
      int expected = kFree;
      if (!slots_[i].state.compare_exchange_strong(expected, kFilling)) continue;
      std::memcpy(slots_[i].path, path.c_str(), path.size() + 1);
      slots_[i].state.store(kWritten);
      return i;
    }
    return kNone;
  }

  // Gives the slot back once the file is renamed or removed.
  void remove(int slot) noexcept {
    if (slot == kNone) return;
    int expected = kWritten;
    slots_[slot].state.compare_exchange_strong(expected, kFree);
  }

  // Calls removeFile(path) for each file listed, once; a removed slot stays
  // taken, as the process is about to end.
  template <typename RemoveFile>
  void removeAll(RemoveFile&& removeFile) noexcept {
    for (Slot& slot : slots_) {
      int expected = kWritten;
      if (slot.state.compare_exchange_strong(expected, kRemoving)) removeFile(slot.path);
    }
  }

 private:
  static constexpr int kSlots = 8;
  static constexpr std::size_t kLongestPath = 4096 + 64;
  enum State : int { kFree, kFilling, kWritten, kRemoving };
  struct Slot {
    std::atomic<int> state{kFree};
    char path[kLongestPath] = {};
  };
  Slot slots_[kSlots];
};

}  // namespace Orvel::platform
