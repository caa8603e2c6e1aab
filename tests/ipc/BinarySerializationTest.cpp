// Payload encoding: the value table, round trips, and the exact failure lines.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <typeinfo>
#include <unordered_map>
#include <vector>

#include "ipc/MessageCodec.h"
#include "support/LogCapture.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

enum class Role : std::uint32_t { Tracking = 3, Base = 5 };

struct Entry {
  std::vector<Role> writers;
  std::string key;
  std::int64_t version = 0;
  bool persistent = false;
  static void describeFields(Orvel::FieldList<Entry>& fields) {
    fields.add(&Entry::writers);
    fields.add(&Entry::key);
    fields.add(&Entry::version);
    fields.add(&Entry::persistent);
  }
};

struct Update {
  static constexpr const char* messageName = "Update";
  std::string key;
  std::string value;
  static void describeFields(Orvel::FieldList<Update>& fields) {
    fields.add(&Update::key);
    fields.add(&Update::value);
  }
};

struct Definitions {
  static constexpr const char* messageName = "Definitions";
  std::unordered_map<std::string, Entry> definitions;
  static void describeFields(Orvel::FieldList<Definitions>& fields) { fields.add(&Definitions::definitions); }
};

struct Empty {
  static constexpr const char* messageName = "Empty";
  static void describeFields(Orvel::FieldList<Empty>&) {}
};

struct Image {
  static constexpr const char* messageName = "Image";
  Role role;
  std::uint32_t unused;
};
static_assert(sizeof(Image) == 8, "Image is an 8-byte memory image");

template <typename T>
Bytes encode(const T& value) {
  Orvel::BinarySerializer serializer;
  serializer.serialize(value);
  return serializer.takeBytes();
}

const std::string kFunction = " ERR [Orvel::BinaryDeserializer::deserialize_impl] ";

std::string notEnough(const char* type, int left, int required) {
  return kFunction + "Not enough data to deserialize " + type + " - dataLeft: " + std::to_string(left) +
         ", required: " + std::to_string(required);
}

TEST(BinarySerializer, EncodesEachValueType) {
  EXPECT_EQ(encode(std::string()), (Bytes{0, 0, 0, 0}));
  EXPECT_EQ(encode(std::string("abc")), (Bytes{3, 0, 0, 0, 0x61, 0x62, 0x63}));
  EXPECT_EQ(encode(std::vector<Role>{Role::Tracking, Role::Base}), (Bytes{2, 0, 0, 0, 3, 0, 0, 0, 5, 0, 0, 0}));
  EXPECT_EQ(encode(true), (Bytes{1}));
  EXPECT_EQ(encode(false), (Bytes{0}));
  EXPECT_EQ(encode('x'), (Bytes{0x78}));
  EXPECT_EQ(encode(std::int32_t{-2}), (Bytes{0xFE, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(encode(std::uint32_t{0x01020304}), (Bytes{4, 3, 2, 1}));
  EXPECT_EQ(encode(std::int64_t{0x0102030405060708}), (Bytes{8, 7, 6, 5, 4, 3, 2, 1}));
  EXPECT_EQ(encode(std::unordered_map<std::string, std::int32_t>{{"k", 7}}),
            (Bytes{1, 0, 0, 0, 1, 0, 0, 0, 'k', 7, 0, 0, 0}));
  EXPECT_EQ(encode(Update{"A", "1"}), (Bytes{1, 0, 0, 0, 0x41, 1, 0, 0, 0, 0x31}));
  EXPECT_EQ(encode(Image{Role::Tracking, 0}), (Bytes{3, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(encode(Empty{}), Bytes{});
  EXPECT_EQ(encode(Entry{{Role::Base}, "K", 2, true}),
            (Bytes{1, 0, 0, 0, 5, 0, 0, 0, 1, 0, 0, 0, 'K', 2, 0, 0, 0, 0, 0, 0, 0, 1}));
}

TEST(BinaryDeserializer, RoundTripsNestedValues) {
  Definitions sent;
  sent.definitions["a"] = Entry{{Role::Tracking, Role::Base}, "a", -1, true};
  sent.definitions["b"] = Entry{{}, "", 1LL << 40, false};
  sent.definitions[""] = Entry{{static_cast<Role>(99)}, "x", 0, false};  // roles are not validated
  const Bytes payload = Orvel::encodeMessage(sent);

  Definitions received;
  ASSERT_TRUE(Orvel::decodeMessage(payload.data(), static_cast<std::uint32_t>(payload.size()), received));
  ASSERT_EQ(received.definitions.size(), 3u);
  for (const auto& [key, entry] : sent.definitions) {
    const Entry& got = received.definitions.at(key);
    EXPECT_EQ(got.writers, entry.writers) << key;
    EXPECT_EQ(got.key, entry.key) << key;
    EXPECT_EQ(got.version, entry.version) << key;
    EXPECT_EQ(got.persistent, entry.persistent) << key;
  }
}

TEST(BinaryDeserializer, DecodesEdgeCases) {
  Orvel::Test::LogCapture log;
  {
    const Bytes empty{0, 0, 0, 0};
    std::string text = "old";
    Orvel::BinaryDeserializer reader(empty.data(), 4);
    EXPECT_TRUE(reader.deserialize(text));
    EXPECT_EQ(text, "");
  }
  {
    const Bytes countZero{0, 0, 0, 0};
    std::unordered_map<std::string, std::string> map{{"stale", "x"}};
    Orvel::BinaryDeserializer reader(countZero.data(), 4);
    EXPECT_TRUE(reader.deserialize(map));
    EXPECT_TRUE(map.empty());
  }
  {
    // The same key twice: the first occurrence wins.
    const Bytes twice{2, 0, 0, 0, 1, 0, 0, 0, 'k', 1, 0, 0, 0, 1, 0, 0, 0, 'k', 2, 0, 0, 0};
    std::unordered_map<std::string, std::int32_t> map;
    Orvel::BinaryDeserializer reader(twice.data(), static_cast<std::uint32_t>(twice.size()));
    EXPECT_TRUE(reader.deserialize(map));
    EXPECT_EQ(map, (std::unordered_map<std::string, std::int32_t>{{"k", 1}}));
  }
  {
    // Any byte but 0 reads as true.
    const Bytes flags{0, 1, 2, 0xFF};
    Orvel::BinaryDeserializer reader(flags.data(), 4);
    bool values[4] = {true, false, false, false};
    for (bool& value : values) EXPECT_TRUE(reader.deserialize(value));
    EXPECT_FALSE(values[0]);
    EXPECT_TRUE(values[1]);
    EXPECT_TRUE(values[2]);
    EXPECT_TRUE(values[3]);
  }
  {
    // An empty field list decodes from any payload; a memory image ignores
    // what follows it, and so does a field list.
    const Bytes longer{3, 0, 0, 0, 0, 0, 0, 0, 9, 9};
    Empty empty;
    EXPECT_TRUE(Orvel::decodeMessage(longer.data(), 10, empty));
    EXPECT_TRUE(Orvel::decodeMessage(longer.data(), 0, empty));
    Image image{};
    EXPECT_TRUE(Orvel::decodeMessage(longer.data(), 10, image));
    EXPECT_EQ(image.role, Role::Tracking);
    const Bytes update{1, 0, 0, 0, 'A', 1, 0, 0, 0, '1', 0xAA, 0xBB};
    Update decoded;
    EXPECT_TRUE(Orvel::decodeMessage(update.data(), 12, decoded));
    EXPECT_EQ(decoded.key, "A");
    EXPECT_EQ(decoded.value, "1");
  }
  EXPECT_EQ(log.lines(), std::vector<std::string>{});
}

TEST(BinaryDeserializer, LogsEachShortfall) {
  const std::string stringType = typeid(std::string).name();
  const std::string vectorType = typeid(std::vector<Role>).name();
  const std::string mapType = typeid(std::unordered_map<std::string, Entry>).name();
  const char* u32 = typeid(std::uint32_t).name();

  struct Case {
    const char* name;
    Bytes payload;
    std::function<bool(Orvel::BinaryDeserializer&)> read;
    std::vector<std::string> lines;
    std::uint32_t positionAfter;
  };
  const std::vector<Case> cases = {
      {"int32 from 2 bytes", {1, 2},
       [](Orvel::BinaryDeserializer& r) {
         std::int32_t v = 42;
         return r.deserialize(v) || v != 42;  // untouched on failure
       },
       {notEnough(typeid(std::int32_t).name(), 2, 4)}, 0},
      {"int64 from 7 bytes", {1, 2, 3, 4, 5, 6, 7},
       [](Orvel::BinaryDeserializer& r) {
         std::int64_t v = 0;
         return r.deserialize(v);
       },
       {notEnough(typeid(std::int64_t).name(), 7, 8)}, 0},
      {"string says 5, holds 3", {5, 0, 0, 0, 'a', 'b', 'c'},
       [](Orvel::BinaryDeserializer& r) {
         std::string v;
         const bool ok = r.deserialize(v);
         return ok || v != "abc";  // what was read stays in the target
       },
       {notEnough(typeid(char).name(), 0, 1), kFunction + "Failed to deserialize 3-th element of " + stringType},
       7},
      {"string without its length", {5, 0},
       [](Orvel::BinaryDeserializer& r) {
         std::string v;
         return r.deserialize(v);
       },
       {notEnough(u32, 2, 4), kFunction + "Failed to deserialize length of " + stringType}, 0},
      {"vector missing its second role", {2, 0, 0, 0, 3, 0, 0, 0, 5},
       [](Orvel::BinaryDeserializer& r) {
         std::vector<Role> v;
         return r.deserialize(v);
       },
       {notEnough(typeid(Role).name(), 1, 4), kFunction + "Failed to deserialize 1-th element of " + vectorType}, 8},
      {"map entry cut inside a nested value", {1, 0, 0, 0, 1, 0, 0, 0, 'k', 0, 0, 0, 0, 1, 0, 0, 0, 'k', 1, 0},
       [](Orvel::BinaryDeserializer& r) {
         std::unordered_map<std::string, Entry> v;
         return r.deserialize(v);
       },
       {notEnough(typeid(std::int64_t).name(), 2, 8), kFunction + "Failed to deserialize 0-th element of " + mapType},
       18},
      {"memory image from 7 bytes", {3, 0, 0, 0, 0, 0, 0},
       [](Orvel::BinaryDeserializer& r) {
         Image v{};
         return r.deserialize(v);
       },
       {notEnough(typeid(Image).name(), 7, 8)}, 0},
  };
  for (const Case& c : cases) {
    Orvel::Test::LogCapture log;
    Orvel::BinaryDeserializer reader(c.payload.data(), static_cast<std::uint32_t>(c.payload.size()));
    EXPECT_FALSE(c.read(reader)) << c.name;
    EXPECT_EQ(log.lines(), c.lines) << c.name;
    EXPECT_EQ(reader.position(), c.positionAfter) << c.name;
  }
}

}  // namespace
