// Finds a key among a client's properties with one hash and, nearly always,
// one comparison of keys, where a search of the sorted list would compare
// about nine keys (of which many share a long prefix such as "Compositor.").
// A client looks up every row of every definitions message and every update.
//
// An open-addressing table of positions in the list, at most half full. It
// holds positions, not keys: it is rebuilt whenever the list changes (a key
// that is not in the catalogue: rare), and a lookup reads the key it compares
// from the list through the caller's accessor.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace Orvel::State {

class PropertyKeyIndex {
 public:
  static constexpr std::size_t npos = static_cast<std::size_t>(-1);

  // Indexes keyAt(0) .. keyAt(count - 1), each a std::string_view. A key
  // given twice is found at its first position.
  template <typename KeyAt>
  void rebuild(std::size_t count, KeyAt keyAt) {
    std::size_t capacity = 16;
    while (capacity < 2 * count) capacity *= 2;
    slots_.assign(capacity, Slot{});
    for (std::size_t position = 0; position < count; ++position) {
      const std::size_t hash = hashOf(keyAt(position));
      std::size_t i = hash & (capacity - 1);
      while (slots_[i].position != 0) i = (i + 1) & (capacity - 1);
      slots_[i] = Slot{static_cast<std::uint32_t>(position + 1), static_cast<std::uint32_t>(hash)};
    }
  }

  // The position of key, or npos.
  template <typename KeyAt>
  std::size_t find(std::string_view key, KeyAt keyAt) const {
    if (slots_.empty()) return npos;
    const std::size_t mask = slots_.size() - 1;
    const std::size_t hash = hashOf(key);
    for (std::size_t i = hash & mask; slots_[i].position != 0; i = (i + 1) & mask) {
      const Slot& slot = slots_[i];
      if (slot.hash == static_cast<std::uint32_t>(hash) && keyAt(slot.position - 1) == key) return slot.position - 1;
    }
    return npos;
  }

 private:
  struct Slot {
    std::uint32_t position = 0;  // position + 1; 0 marks an empty slot
    std::uint32_t hash = 0;      // low bits of the key's hash, compared before the key
  };

  static std::size_t hashOf(std::string_view key) { return std::hash<std::string_view>{}(key); }

  std::vector<Slot> slots_;
};

}  // namespace Orvel::State
