// Finds a key among a client's properties with one hash and, nearly always,
// one comparison of keys, where a search of a sorted list would compare about
// nine keys (many of them sharing a long prefix such as "Compositor."). A
// client looks up every row of every definitions message and every update.
//
// An open-addressing table of positions in the caller's list, at most half
// full. It holds positions, not keys: a lookup reads the key it compares
// through the caller's accessor. Keys are only ever added at the end of the
// list, so positions never move.
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

  // Indexes keyAt(0) .. keyAt(count - 1), each a std::string_view, anew. A
  // key given twice is found at its first position.
  template <typename KeyAt>
  void rebuild(std::size_t count, KeyAt keyAt) {
    std::size_t capacity = 16;
    while (capacity < 2 * count) capacity *= 2;
    slots_.assign(capacity, Slot{});
    for (std::size_t position = 0; position < count; ++position) place(position, hashOf(keyAt(position)));
  }

  // Indexes keyAt(position), added at the end: positions 0 .. position - 1
  // are indexed already.
  template <typename KeyAt>
  void add(std::size_t position, KeyAt keyAt) {
    if (2 * (position + 1) > slots_.size()) {
      rebuild(position + 1, keyAt);
    } else {
      place(position, hashOf(keyAt(position)));
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

  void place(std::size_t position, std::size_t hash) {
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = hash & mask;
    while (slots_[i].position != 0) i = (i + 1) & mask;
    slots_[i] = Slot{static_cast<std::uint32_t>(position + 1), static_cast<std::uint32_t>(hash)};
  }

  std::vector<Slot> slots_;
};

}  // namespace Orvel::State
