// The roles allowed to write a property. A short list (nearly every one: the
// catalogue's rows name at most a few roles) is held in place, a longer one in
// a block of its own, so that hundreds of properties built side by side need
// no allocation each for their writers. Not thread-safe: its property's mutex
// guards it.
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "state/ClientRole.h"

namespace Orvel::State {

class WriterList {
 public:
  WriterList() = default;
  explicit WriterList(const std::vector<ClientRole>& roles) { assign(roles); }
  WriterList(const ClientRole* roles, std::size_t count) { assign(roles, count); }
  WriterList(const WriterList&) = delete;
  WriterList& operator=(const WriterList&) = delete;
  ~WriterList() {
    if (onHeap()) delete[] heap_;
  }

  // Replaces the list; keeps a block that is large enough.
  void assign(const std::vector<ClientRole>& roles) { assign(roles.data(), roles.size()); }
  void assign(const ClientRole* roles, std::size_t count) {
    if (count > capacity_) {
      if (count > UINT32_MAX) throw std::length_error("writer list too long");
      ClientRole* block = new ClientRole[count];
      if (onHeap()) delete[] heap_;
      heap_ = block;
      capacity_ = static_cast<std::uint32_t>(count);
    }
    std::copy(roles, roles + count, data());
    size_ = static_cast<std::uint32_t>(count);
  }

  const ClientRole* begin() const { return data(); }
  const ClientRole* end() const { return data() + size_; }
  std::vector<ClientRole> toVector() const { return std::vector<ClientRole>(begin(), end()); }

 private:
  static constexpr std::uint32_t kInPlace = 4;

  bool onHeap() const { return capacity_ > kInPlace; }
  ClientRole* data() { return onHeap() ? heap_ : inPlace_; }
  const ClientRole* data() const { return onHeap() ? heap_ : inPlace_; }

  std::uint32_t size_ = 0;
  std::uint32_t capacity_ = kInPlace;  // kInPlace while the roles are held in place
  union {
    ClientRole inPlace_[kInPlace];
    ClientRole* heap_;
  };
};

}  // namespace Orvel::State
