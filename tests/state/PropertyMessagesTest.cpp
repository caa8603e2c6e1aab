#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "ipc/MessageCodec.h"
#include "state/ComponentHeartbeat.h"
#include "state/NotifyPropertyClientStatus.h"
#include "state/PropertyDefinitions.h"
#include "state/PropertyDefinitionsView.h"
#include "state/PropertyUpdateToClient.h"
#include "state/PropertyUpdateToClientView.h"
#include "state/PropertyUpdateToServer.h"
#include "state/RequestResetPersistentProperties.h"
#include "state/ResponseClientRole.h"
#include "support/LogCapture.h"
#include "support/WireBytes.h"

using namespace Orvel::State;
using namespace Orvel::State::Messages;
using Bytes = std::vector<std::uint8_t>;

namespace {

using Orvel::Test::putString;
using Orvel::Test::putU32;
using Orvel::Test::putU64;


// One "PropertyDefinitions" map entry as the server writes it.
void putDefinition(Bytes& bytes, const std::string& key, const std::vector<std::uint32_t>& writers,
                   const std::string& type, const std::string& value, std::uint64_t version, bool persistent,
                   bool loggable) {
  putString(bytes, key);
  putU32(bytes, static_cast<std::uint32_t>(writers.size()));
  for (std::uint32_t writer : writers) putU32(bytes, writer);
  putString(bytes, key);
  putString(bytes, type);
  putString(bytes, value);
  putU64(bytes, version);
  bytes.push_back(persistent ? 1 : 0);
  bytes.push_back(loggable ? 1 : 0);
}

template <typename T>
bool decode(const Bytes& payload, T& message) {
  return Orvel::decodeMessage(payload.data(), static_cast<std::uint32_t>(payload.size()), message);
}

TEST(PropertyMessages, ClientMessagesEncodeToTheirExactBytes) {
  EXPECT_EQ(Orvel::encodeMessage(PropertyUpdateToServer{"A", "1"}), (Bytes{1, 0, 0, 0, 0x41, 1, 0, 0, 0, 0x31}));
  EXPECT_EQ(Orvel::encodeMessage(ResponseClientRole{ClientRole::TRACKING}), (Bytes{3, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Orvel::encodeMessage(NotifyPropertyClientStatus{true}), (Bytes{1, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Orvel::encodeMessage(NotifyPropertyClientStatus{false}), (Bytes{0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Orvel::encodeMessage(ComponentHeartbeat{}), Bytes{});
  EXPECT_EQ(Orvel::encodeMessage(RequestResetPersistentProperties{}), Bytes{});
}

TEST(PropertyMessages, MemoryImagesNeedEightBytesAndIgnoreTheRest) {
  Orvel::Test::LogCapture capture;
  ResponseClientRole response;
  EXPECT_TRUE(decode(Bytes{5, 0, 0, 0, 0, 0, 0, 0, 9, 9}, response));
  EXPECT_EQ(response.role, ClientRole::BASE);
  EXPECT_FALSE(decode(Bytes{5, 0, 0, 0, 0, 0, 0}, response)) << "seven bytes are corrupted";
  NotifyPropertyClientStatus status;
  EXPECT_TRUE(decode(Bytes{1, 0, 0, 0, 0, 0, 0, 0}, status));
  EXPECT_TRUE(status.ready);
}

TEST(PropertyMessages, ReadinessFlagOfAnyByteReadsAsAFlag) {
  // A peer's image may hold any byte in the flag; it must never become a
  // bool holding a value that is neither true nor false.
  const std::pair<std::uint8_t, bool> cases[] = {{0, false}, {1, true}, {2, true}, {0x80, true}, {0xFF, true}};
  for (const auto& [flag, ready] : cases) {
    NotifyPropertyClientStatus status;
    ASSERT_TRUE(decode(Bytes{flag, 0, 0, 0, 0, 0, 0, 0}, status)) << int{flag};
    EXPECT_EQ(status.ready != 0, ready) << int{flag};
    EXPECT_EQ(Orvel::encodeMessage(NotifyPropertyClientStatus{ready}), (Bytes{static_cast<std::uint8_t>(ready ? 1 : 0), 0, 0, 0, 0, 0, 0, 0}));
  }
}

TEST(PropertyMessages, UpdateToClientCarriesTheWriterAndFailsWithoutIt) {
  Orvel::Test::LogCapture capture;
  Bytes payload;
  putString(payload, "LowFrameRateDetected");
  putString(payload, "true");
  PropertyUpdateToClient update;
  EXPECT_FALSE(decode(payload, update)) << "payload ends after the value";
  putU32(payload, 99);  // outside 0..21: accepted unchanged
  ASSERT_TRUE(decode(payload, update));
  EXPECT_EQ(update.key, "LowFrameRateDetected");
  EXPECT_EQ(update.value, "true");
  EXPECT_EQ(static_cast<std::uint32_t>(update.writer), 99u);
}

TEST(PropertyMessages, UpdatesReadInPlaceAgreeWithTheDecoder) {
  Bytes whole;
  putString(whole, "trackedDeviceData");
  putString(whole, std::string(70000, 'v'));  // longer than a read-ahead
  putU32(whole, 19);
  Bytes empty;
  putString(empty, "");
  putString(empty, "");
  putU32(empty, 0xFFFFFFFFu);
  Bytes trailing = whole;
  trailing.push_back(7);
  Bytes longerThanPayload;
  putString(longerThanPayload, "K");
  putU32(longerThanPayload, 0x7FFFFFFF);  // a value length past the end
  std::vector<std::pair<std::string, Bytes>> cases = {
      {"large value", whole}, {"empty texts", empty}, {"trailing bytes", trailing}, {"value past the end", longerThanPayload}};
  for (const std::size_t length : {0, 3, 4, 20, 25, 70025, 70028}) {
    cases.push_back({"cut to " + std::to_string(length), Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length))});
  }
  for (const auto& [name, payload] : cases) {
    SCOPED_TRACE(name);
    Orvel::Test::LogCapture decoderLog;
    PropertyUpdateToClient decoded;
    const bool decodes = decode(payload, decoded);
    const std::vector<std::string> decoderLines = decoderLog.lines();
    Orvel::Test::LogCapture viewLog;
    PropertyUpdateToClientView view;
    view.key = "stale";
    EXPECT_EQ(decode(payload, view), decodes);
    EXPECT_EQ(viewLog.lines(), decoderLines);
    if (!decodes) {
      EXPECT_TRUE(view.key.empty()) << "a refused payload leaves no view of it";
      continue;
    }
    const PropertyUpdateToClient owned = view.toMessage();
    EXPECT_EQ(owned.key, decoded.key);
    EXPECT_EQ(owned.value, decoded.value);
    EXPECT_EQ(owned.writer, decoded.writer);
    EXPECT_EQ(static_cast<const void*>(view.value.data()), static_cast<const void*>(payload.data() + 8 + decoded.key.size()))
        << "the value is read in place";
  }
}

TEST(PropertyMessages, DefinitionsDecodeFieldByField) {
  Bytes payload;
  putU32(payload, 2);
  putDefinition(payload, "OrvelTracking.ActivePlugin", {3, 5, 2}, "std::string", "openvr", 1, true, true);
  putDefinition(payload, "visualLog", {}, "std::string", "", 13, false, false);
  PropertyDefinitions message;
  ASSERT_TRUE(decode(payload, message));
  ASSERT_EQ(message.definitions.size(), 2u);
  const PropertyDefinition& plugin = message.definitions.at("OrvelTracking.ActivePlugin");
  EXPECT_EQ(plugin.writers, (std::vector<ClientRole>{ClientRole::TRACKING, ClientRole::BASE, ClientRole::COMPOSITOR}));
  EXPECT_EQ(plugin.key, "OrvelTracking.ActivePlugin");
  EXPECT_EQ(plugin.type, "std::string");
  EXPECT_EQ(plugin.defaultValue, "openvr");
  EXPECT_EQ(plugin.version, 1u);
  EXPECT_TRUE(plugin.persistent);
  EXPECT_TRUE(plugin.loggable);
  EXPECT_FALSE(plugin.changeFormatter);
  const PropertyDefinition& log = message.definitions.at("visualLog");
  EXPECT_TRUE(log.writers.empty());
  EXPECT_EQ(log.version, 13u);
  EXPECT_FALSE(log.persistent);
  EXPECT_FALSE(log.loggable);
}

TEST(PropertyMessages, DefinitionsEncodeInWireOrder) {
  PropertyDefinitions message;
  PropertyDefinition definition;
  definition.writers = {ClientRole::TRACKING};
  definition.key = "K";
  definition.type = "bool";
  definition.defaultValue = "true";
  definition.version = 2;
  definition.persistent = true;
  definition.loggable = false;
  definition.changeFormatter = [](const std::string&, const std::string&) { return std::string("not sent"); };
  message.definitions["K"] = definition;
  Bytes expected;
  putU32(expected, 1);
  putDefinition(expected, "K", {3}, "bool", "true", 2, true, false);
  EXPECT_EQ(Orvel::encodeMessage(message), expected);
}

TEST(PropertyMessages, DefinitionsEdgeCases) {
  Orvel::Test::LogCapture capture;
  PropertyDefinitions message;
  EXPECT_TRUE(decode(Bytes{0, 0, 0, 0}, message));
  EXPECT_TRUE(message.definitions.empty()) << "count 0 is an empty map";

  Bytes repeated;
  putU32(repeated, 2);
  putDefinition(repeated, "K", {3}, "bool", "first", 1, false, true);
  putDefinition(repeated, "K", {5}, "bool", "second", 1, false, true);
  ASSERT_TRUE(decode(repeated, message));
  ASSERT_EQ(message.definitions.size(), 1u);
  EXPECT_EQ(message.definitions.at("K").defaultValue, "first") << "a repeated key keeps its first entry";

  Bytes truncated;
  putU32(truncated, 2);
  putDefinition(truncated, "A", {3}, "bool", "true", 1, false, true);
  putDefinition(truncated, "B", {3}, "bool", "true", 1, false, true);
  truncated.pop_back();  // the last entry's loggable byte
  EXPECT_FALSE(decode(truncated, message)) << "the whole message is corrupted";
}

// The in-place reading must agree with the ordinary decoder on every payload:
// the same success, the same first row per key with the same fields, and,
// when the payload is refused, the same log lines.
TEST(PropertyMessages, DefinitionsReadInPlaceAgreeWithTheDecoder) {
  Bytes two;
  putU32(two, 2);
  putDefinition(two, "OrvelTracking.ActivePlugin", {3, 5, 2}, "std::string", "plugin:C:\\p\\tracker.dll", 7, true, false);
  putDefinition(two, "visualLog", {}, "Orvel::TrackedDeviceData", "", 13, false, true);
  Bytes repeated;
  putU32(repeated, 3);
  putDefinition(repeated, "K", {3}, "bool", "first", 1, false, true);
  putDefinition(repeated, "L", {1, 21}, "int", "5", 2, true, true);
  putDefinition(repeated, "K", {5}, "bool", "second", 1, false, true);
  Bytes flags = two;
  flags[flags.size() - 1] = 0x80;  // loggable: any byte but 0 is true
  Bytes trailing = two;
  trailing.insert(trailing.end(), {1, 2, 3});
  Bytes tooManyWriters;
  putU32(tooManyWriters, 1);
  putString(tooManyWriters, "K");
  putU32(tooManyWriters, 0x40000000);  // more writers than bytes
  putU32(tooManyWriters, 3);
  struct Case {
    const char* name;
    Bytes payload;
  };
  std::vector<Case> cases = {{"empty map", Bytes{0, 0, 0, 0}}, {"two rows", two},
                             {"repeated key", repeated},       {"flag byte", flags},
                             {"trailing bytes", trailing},     {"too many writers", tooManyWriters},
                             {"no count", Bytes{1, 0}}};
  for (std::size_t length = 0; length < repeated.size(); ++length) {
    cases.push_back({"truncated", Bytes(repeated.begin(), repeated.begin() + static_cast<std::ptrdiff_t>(length))});
  }
  for (const Case& test : cases) {
    SCOPED_TRACE(std::string(test.name) + ", " + std::to_string(test.payload.size()) + " bytes");
    Orvel::Test::LogCapture decoderLog;
    PropertyDefinitions decoded;
    const bool decodes = decode(test.payload, decoded);
    const std::vector<std::string> decoderLines = decoderLog.lines();
    Orvel::Test::LogCapture viewLog;
    PropertyDefinitionsView view;
    EXPECT_EQ(decode(test.payload, view), decodes);
    EXPECT_EQ(viewLog.lines(), decoderLines);
    if (!decodes) {
      EXPECT_TRUE(view.rows.empty());
      continue;
    }
    std::map<std::string, PropertyDefinition> firstRows;
    std::vector<std::string> keys;
    for (const PropertyDefinitionsView::Row& row : view.rows) {
      firstRows.emplace(std::string(row.mapKey), row.toDefinition());
      keys.emplace_back(row.mapKey);
    }
    EXPECT_EQ(keys.size(), view.rows.size());
    // The rows are read again on each visit: a second one sees the same rows.
    std::vector<std::string> again;
    for (const PropertyDefinitionsView::Row& row : view.rows) again.emplace_back(row.mapKey);
    EXPECT_EQ(again, keys);
    ASSERT_EQ(firstRows.size(), decoded.definitions.size());
    for (const auto& [key, expected] : decoded.definitions) {
      SCOPED_TRACE(key);
      ASSERT_EQ(firstRows.count(key), 1u);
      const PropertyDefinition& row = firstRows.at(key);
      EXPECT_EQ(row.writers, expected.writers);
      EXPECT_EQ(row.key, expected.key);
      EXPECT_EQ(row.type, expected.type);
      EXPECT_EQ(row.defaultValue, expected.defaultValue);
      EXPECT_EQ(row.version, expected.version);
      EXPECT_EQ(row.persistent, expected.persistent);
      EXPECT_EQ(row.loggable, expected.loggable);
    }
  }
}

}  // namespace
