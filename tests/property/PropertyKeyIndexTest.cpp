#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "property/PropertyCatalogue.h"
#include "property/PropertyKeyIndex.h"

using Orvel::State::PropertyKeyIndex;

namespace {

struct IndexedKeys {
  explicit IndexedKeys(std::vector<std::string> list) : keys(std::move(list)) {
    index.rebuild(keys.size(), [this](std::size_t i) { return std::string_view(keys[i]); });
  }
  std::size_t find(std::string_view key) const {
    return index.find(key, [this](std::size_t i) { return std::string_view(keys[i]); });
  }
  std::vector<std::string> keys;
  PropertyKeyIndex index;
};

TEST(PropertyKeyIndex, FindsEveryCatalogueKeyAtItsPositionAndNothingElse) {
  std::vector<std::string> keys;
  for (const auto& [key, definition] : Orvel::State::getPropertyDefinitions()) keys.push_back(key);
  const IndexedKeys indexed(keys);
  for (std::size_t i = 0; i < keys.size(); ++i) EXPECT_EQ(indexed.find(keys[i]), i) << keys[i];
  // Prefixes, extensions and case changes of real keys, and the empty key.
  for (const std::string& absent :
       {std::string("OrvelTracking.ActivePlugi"), std::string("OrvelTracking.ActivePluginX"),
        std::string("orveltracking.activeplugin"), std::string("OrvelTracking."), std::string()}) {
    EXPECT_EQ(indexed.find(absent), PropertyKeyIndex::npos) << absent;
  }
}

TEST(PropertyKeyIndex, EdgeCases) {
  EXPECT_EQ(IndexedKeys({}).find("a"), PropertyKeyIndex::npos);
  EXPECT_EQ(PropertyKeyIndex().find("a", [](std::size_t) { return std::string_view(); }), PropertyKeyIndex::npos);
  // A key given twice is found at its first position.
  EXPECT_EQ(IndexedKeys({"b", "a", "b"}).find("b"), 0u);
  // Exactly half full (8 keys in 16 slots), so probes wrap around the table's end.
  const IndexedKeys eight({"0", "1", "2", "3", "4", "5", "6", "7"});
  for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(eight.find(eight.keys[i]), i);
  EXPECT_EQ(eight.find("8"), PropertyKeyIndex::npos);
}

TEST(PropertyKeyIndex, KeysAddedOneByOneFromAnEmptyIndexAreAllFound) {
  // Through several doublings of the table (16, 32, 64, 128 slots).
  std::vector<std::string> keys;
  PropertyKeyIndex index;
  const auto keyAt = [&keys](std::size_t i) { return std::string_view(keys[i]); };
  for (std::size_t added = 0; added < 100; ++added) {
    keys.push_back("Key." + std::to_string(added * 7919));
    index.add(added, keyAt);
    for (std::size_t i = 0; i <= added; ++i) ASSERT_EQ(index.find(keys[i], keyAt), i) << added;
    ASSERT_EQ(index.find("Key.1", keyAt), PropertyKeyIndex::npos);
  }
}

}  // namespace
