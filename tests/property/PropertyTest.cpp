#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "property/Property.h"
#include "property/SourceAwareProperty.h"
#include "TypeMismatchWarning.h"
#include "support/LogCapture.h"

using namespace Orvel::State;

namespace {

Messages::PropertyDefinition definition(const std::string& key, const std::string& type,
                                        const std::string& defaultValue, std::vector<ClientRole> writers) {
  Messages::PropertyDefinition result;
  result.key = key;
  result.type = type;
  result.defaultValue = defaultValue;
  result.writers = std::move(writers);
  result.version = 3;
  result.persistent = false;
  return result;
}

// What sourceChanged reported: (value at the time, writer, local).
using SourceCall = std::tuple<std::string, ClientRole, bool>;

TEST(Property, StartsFromTheDefinitionOrAsPlaceholder) {
  const Property fromDefinition(ClientRole::TRACKING,
                                definition("LowFrameRateDetected", "bool", "false", {ClientRole::GAZE_TRACKING}));
  EXPECT_EQ(fromDefinition.getStringValue(), "false");
  EXPECT_EQ(fromDefinition.getRemoteType(), "bool");
  EXPECT_FALSE(fromDefinition.isInitialized());

  const Property placeholder("Unknown.Key");
  EXPECT_EQ(placeholder.getKey(), "Unknown.Key");
  EXPECT_EQ(placeholder.getType(), "");
  EXPECT_FALSE(placeholder.isInitialized());
}

// Every form of construction keeps its key and types readable for the
// property's whole life, also after what it was made from is gone. The texts
// are longer than a short string's inline room, so a property that kept a
// reference to a dead text reads freed memory.
TEST(Property, KeyAndTypesOutliveWhatThePropertyWasMadeFrom) {
  static const std::string lastingKey = "Lasting.Catalogue.Row.Key.Longer.Than.Inline";
  static const std::string lastingType = "Orvel::State::LastingTypeName";
  static const ClientRole lastingWriters[] = {ClientRole::BASE};
  static const Property::LastingRow lastingRow{lastingKey, lastingType.c_str(), "lasting default",
                                               lastingWriters, 1, 3, false};
  struct Case {
    const char* form;
    std::function<std::unique_ptr<Property>()> make;
    std::string key;
    std::string type;
    std::string value;
  };
  const std::vector<Case> cases = {
      {"placeholder",
       [] { return std::make_unique<Property>(std::string("Placeholder.Key.Longer.Than.Inline.Room")); },
       "Placeholder.Key.Longer.Than.Inline.Room", "", ""},
      {"definition that dies first",
       [] {
         return std::make_unique<Property>(
             ClientRole::TRACKING, definition("Copied.Definition.Key.Longer.Than.Inline", "Orvel::State::CopiedTypeName",
                                              "copied default value", {ClientRole::ALL}));
       },
       "Copied.Definition.Key.Longer.Than.Inline", "Orvel::State::CopiedTypeName", "copied default value"},
      {"lasting row",
       [] {
         // The default value is copied: only the key and type are lasting.
         std::string defaultValue = "default longer than a short string's inline room";
         Property::LastingRow row = lastingRow;
         row.defaultValue = defaultValue;
         return std::make_unique<SourceAwareProperty>(ClientRole::TRACKING, row);
       },
       lastingKey, lastingType, "default longer than a short string's inline room"},
  };
  for (const Case& c : cases) {
    const std::unique_ptr<Property> property = c.make();
    // The key read in place before and after getKey has made its string.
    EXPECT_EQ(property->keyView(), c.key) << c.form;
    EXPECT_EQ(property->getKey(), c.key) << c.form;
    EXPECT_EQ(&property->getKey(), &property->getKey()) << c.form << ": one string for the property's life";
    EXPECT_EQ(property->keyView(), c.key) << c.form;
    EXPECT_EQ(property->getType(), c.type) << c.form;
    EXPECT_EQ(property->getRemoteType(), c.type) << c.form;
    EXPECT_EQ(property->getStringValue(), c.value) << c.form;
    EXPECT_FALSE(property->isInitialized()) << c.form;
  }
}

// A property of a lasting row makes its key's string on the first getKey:
// threads that ask at once all get the one string (run under
// ThreadSanitizer, a second string or an unguarded write shows).
TEST(Property, FirstKeyRequestsFromSeveralThreadsShareOneString) {
  static const std::string key = "Lasting.Key.Asked.By.Several.Threads.At.Once";
  static const ClientRole writers[] = {ClientRole::ALL};
  for (int round = 0; round < 50; ++round) {
    const Property property(ClientRole::TRACKING, Property::LastingRow{key, "bool", "false", writers, 1, 1, false});
    constexpr int kThreads = 4;
    std::atomic<int> waiting{kThreads};
    std::vector<const std::string*> seen(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
      threads.emplace_back([&, i] {
        waiting.fetch_sub(1);
        while (waiting.load() > 0) std::this_thread::yield();
        seen[i] = &property.getKey();
      });
    }
    for (std::thread& thread : threads) thread.join();
    for (const std::string* string : seen) {
      ASSERT_EQ(string, seen[0]) << "round " << round;
      ASSERT_EQ(*string, key);
    }
  }
}

TEST(Property, WritesBeforeInitializationAreRefusedAndLoggedOnce) {
  Orvel::Test::LogCapture capture;
  Property property(ClientRole::TRACKING, definition("K", "int", "1", {ClientRole::ALL}));
  EXPECT_FALSE(property.setStringValue(ClientRole::TRACKING, "2"));
  EXPECT_FALSE(property.setStringValue(ClientRole::PROPERTY_SERVER, "3"));
  EXPECT_EQ(property.getStringValue(), "1");
  EXPECT_EQ(capture.lines(),
            std::vector<std::string>{" ERR [Orvel::State::Property::setStringValue] Property 'K' is not known"});
}

TEST(Property, InitializeTakesTheServersDefinition) {
  Orvel::Test::LogCapture capture;
  Property property(ClientRole::TRACKING, definition("K", "int", "1", {}));
  int changes = 0;
  EventConnection connection = property.onChanged([&](const Property& changed) {
    EXPECT_EQ(&changed, &property);
    EXPECT_EQ(changed.getStringValue(), "5") << "listeners see the new value";
    ++changes;
  });
  property.initialize({ClientRole::BASE}, "5", "int", 7, false);
  EXPECT_TRUE(property.isInitialized());
  EXPECT_EQ(property.getStringValue(), "5");
  EXPECT_EQ(property.getWriters(), std::vector<ClientRole>{ClientRole::BASE});
  EXPECT_EQ(property.getVersion(), 7u);
  EXPECT_TRUE(property.isPersistent()) << "initialization always stores true";
  EXPECT_EQ(changes, 1);
  property.initialize({ClientRole::BASE}, "5", "int", 7, true);
  EXPECT_EQ(changes, 1) << "the same value emits nothing";
  EXPECT_TRUE(capture.lines().empty());
}

TEST(Property, WriterRules) {
  struct Case {
    std::vector<ClientRole> writers;
    ClientRole writer;
    bool allowed;
  };
  const std::vector<Case> cases = {
      {{ClientRole::TRACKING, ClientRole::BASE}, ClientRole::BASE, true},
      {{ClientRole::TRACKING, ClientRole::BASE}, ClientRole::COMPOSITOR, false},
      {{ClientRole::TRACKING}, ClientRole::PROPERTY_UTIL, true},
      {{ClientRole::TRACKING}, ClientRole::PROPERTY_SERVER, true},
      {{ClientRole::ALL}, ClientRole::UNITY_PLUGIN, true},
      {{ClientRole::HOME, ClientRole::ALL}, ClientRole::UNKNOWN, true},
      {{}, ClientRole::TRACKING, false},
      {{}, ClientRole::ALL, false},
      {{}, ClientRole::PROPERTY_UTIL, true},
      {{}, ClientRole::PROPERTY_SERVER, true},
  };
  Orvel::Test::LogCapture capture;
  for (const Case& c : cases) {
    Property property(ClientRole::TRACKING, definition("K", "bool", "false", {}));
    property.initialize(c.writers, "false", "bool", 1, false);
    EXPECT_EQ(property.setStringValue(c.writer, "true"), c.allowed) << clientRoleToString(c.writer);
    EXPECT_EQ(property.getStringValue(), c.allowed ? "true" : "false");
  }
}

// Each initialization replaces the writer list, whatever the lengths of the
// lists before it: short lists and long ones, growing and shrinking.
TEST(Property, EachInitializationReplacesTheWriters) {
  using Roles = std::vector<ClientRole>;
  const Roles four = {ClientRole::TRACKING, ClientRole::BASE, ClientRole::COMPOSITOR, ClientRole::HOME};
  const Roles five = {ClientRole::HMD_SERVER, ClientRole::COMPOSITOR, ClientRole::TRACKING, ClientRole::BASE,
                      ClientRole::HOME};
  const Roles seven = {ClientRole::OPENVR_DRIVER, ClientRole::GAZE_TRACKING, ClientRole::HAND_TRACKING,
                       ClientRole::OFFLINE_TOOL,  ClientRole::OPENXR,        ClientRole::RUNTIME,
                       ClientRole::SLAM_TRACKING};
  const Roles eight = {ClientRole::HMD_SERVER,   ClientRole::COMPOSITOR, ClientRole::TRACKING, ClientRole::BASE,
                       ClientRole::HOME,         ClientRole::OPENXR,     ClientRole::RUNTIME,  ClientRole::APPLICATION};
  struct Case {
    Roles local;               // the definition's
    std::vector<Roles> lists;  // one initialization each, in order
  };
  const std::vector<Case> cases = {
      {{}, {{ClientRole::TRACKING}}},
      {{ClientRole::BASE}, {four}},
      {five, {{ClientRole::BASE, ClientRole::HOME}}},
      {{}, {five, seven}},
      {{}, {Roles{ClientRole::TRACKING, ClientRole::BASE}, seven, five, eight}},
      {seven, {{}}},
      {eight, {four, seven}},
  };
  Orvel::Test::LogCapture capture;
  for (const Case& c : cases) {
    Property property(ClientRole::TRACKING, definition("K", "int", "0", c.local));
    EXPECT_EQ(property.getWriters(), c.local);
    for (const Roles& writers : c.lists) {
      property.initialize(writers, "0", "int", 1, true);
      EXPECT_EQ(property.getWriters(), writers) << ::testing::PrintToString(c.lists);
    }
    int value = 0;
    for (const ClientRole writer : c.lists.back()) {
      EXPECT_TRUE(property.setStringValue(writer, std::to_string(++value))) << clientRoleToString(writer);
    }
    EXPECT_FALSE(property.setStringValue(ClientRole::UNITY_PLUGIN, "refused")) << "a role on no list";
    EXPECT_EQ(property.getStringValue(), std::to_string(value));
  }
}

TEST(Property, RefusedWritesLogOncePerRun) {
  Orvel::Test::LogCapture capture;
  Property property(ClientRole::TRACKING, definition("OrvelTracking.ActivePlugin", "std::string", "", {}));
  property.initialize({ClientRole::TRACKING}, "", "std::string", 1, true);
  EXPECT_FALSE(property.setStringValue(ClientRole::HOME, "a"));
  EXPECT_FALSE(property.setStringValue(ClientRole::HOME, "b"));
  EXPECT_TRUE(property.setStringValue(ClientRole::TRACKING, "openvr"));
  EXPECT_FALSE(property.setStringValue(ClientRole::BASE, "c"));
  EXPECT_FALSE(property.setStringValue(ClientRole::TRACKING, "openvr")) << "the same value changes nothing";
  EXPECT_FALSE(property.setStringValue(ClientRole::BASE, "d")) << "an unchanged write still counts as accepted";
  const std::string prefix = " ERR [Orvel::State::Property::setStringValue] Client '";
  EXPECT_EQ(capture.lines(),
            (std::vector<std::string>{
                prefix + "HOME' is not allowed to change key 'OrvelTracking.ActivePlugin', rejecting change to value 'a'",
                prefix + "BASE' is not allowed to change key 'OrvelTracking.ActivePlugin', rejecting change to value 'c'",
                prefix + "BASE' is not allowed to change key 'OrvelTracking.ActivePlugin', rejecting change to value 'd'"}));
  EXPECT_EQ(property.getStringValue(), "openvr");
}

TEST(Property, TypeMismatchTakesTheServerValueAndRefusesEveryWrite) {
  Orvel::Test::LogCapture capture;
  Property first(ClientRole::TRACKING, definition("A", "bool", "false", {}));
  Property second(ClientRole::TRACKING, definition("B", "int", "0", {}));
  first.initialize({ClientRole::ALL}, "1", "int", 1, false);
  second.initialize({ClientRole::ALL}, "x", "std::string", 1, false);
  EXPECT_EQ(first.getStringValue(), "1");
  EXPECT_EQ(first.getRemoteType(), "int");
  EXPECT_FALSE(first.setStringValue(ClientRole::TRACKING, "true"));
  EXPECT_FALSE(first.setStringValue(ClientRole::PROPERTY_UTIL, "true"));
  EXPECT_FALSE(second.setStringValue(ClientRole::TRACKING, "2"));
  EXPECT_EQ(first.getStringValue(), "1");
  EXPECT_EQ(second.getStringValue(), "x");
  const std::vector<std::string> initializeLines = capture.linesContaining("[Orvel::State::Property::initialize]");
  EXPECT_EQ(
      initializeLines,
      (std::vector<std::string>{
          " WAR [Orvel::State::Property::initialize] Invalid type for property 'A': local type 'bool', remote type 'int'",
          " WAR [Orvel::State::Property::initialize] Invalid type for property 'B': local type 'int', remote type "
          "'std::string'"}));
  // Three refused writes on two properties: one warning at most, for the first.
  Orvel::Test::expectTypeMismatchWarningOncePerProcess(
      capture, " WAR [Orvel::State::Property::setStringValue::<lambda>::operator ()] Client 'TRACKING' has invalid "
               "property type 'bool' for property 'A', remote type is 'int'");
  EXPECT_EQ(capture.lines().size(),
            initializeLines.size() + capture.linesContaining("has invalid property type").size())
      << "no other line";
}

// Each initialization replaces the server's type name: the newest decides
// whether writes are refused, and what getRemoteType returns.
TEST(Property, EachInitializationReplacesTheRemoteType) {
  struct Case {
    std::vector<std::string> remoteTypes;  // one initialization each, in order
    std::string remoteType;
    bool writable;
  };
  const std::vector<Case> cases = {
      {{"int"}, "int", false},
      {{"int", "bool"}, "bool", true},
      {{"int", "float"}, "float", false},
      {{"bool", "int"}, "int", false},
      {{"int", "bool", "std::string"}, "std::string", false},
      // Names that agree with the local one up to where one of them ends.
      {{"boo"}, "boo", false},
      {{"bool "}, "bool ", false},
      {{std::string("bool\0", 5)}, std::string("bool\0", 5), false},
      {{""}, "", false},
  };
  Orvel::Test::LogCapture capture;
  for (const Case& c : cases) {
    Property property(ClientRole::TRACKING, definition("K", "bool", "false", {ClientRole::ALL}));
    for (const std::string& remoteType : c.remoteTypes) property.initialize({ClientRole::ALL}, "false", remoteType, 1, true);
    const std::string sequence = ::testing::PrintToString(c.remoteTypes);
    EXPECT_EQ(property.getType(), "bool") << sequence;
    EXPECT_EQ(property.getRemoteType(), c.remoteType) << sequence;
    EXPECT_EQ(property.setStringValue(ClientRole::TRACKING, "true"), c.writable) << sequence;
    EXPECT_EQ(property.getStringValue(), c.writable ? "true" : "false") << sequence;
  }
  // The first refused write is the first case's.
  Orvel::Test::expectTypeMismatchWarningOncePerProcess(
      capture, " WAR [Orvel::State::Property::setStringValue::<lambda>::operator ()] Client 'TRACKING' has invalid "
               "property type 'bool' for property 'K', remote type is 'int'");
}

TEST(Property, TypeMismatchTextWithPercentIsWrittenAsIs) {
  Orvel::Test::LogCapture capture;
  Property property(ClientRole::TRACKING, definition("100%s", "bool", "", {}));
  property.initialize({}, "", "%d", 1, false);
  EXPECT_EQ(capture.lines(), std::vector<std::string>{" WAR [Orvel::State::Property::initialize] Invalid type for "
                                                      "property '100%s': local type 'bool', remote type '%d'"});
}

TEST(SourceAwareProperty, TellsWhoChangedTheValue) {
  SourceAwareProperty property(ClientRole::TRACKING, definition("K", "std::string", "a", {ClientRole::ALL}));
  std::vector<std::string> changed;
  std::vector<SourceCall> sources;
  EventConnection onChanged = property.onChanged([&](const Property& p) { changed.push_back(p.getStringValue()); });
  EventConnection onSource = property.onSourceChanged(
      [&](const Property& p, ClientRole writer, bool local) { sources.emplace_back(p.getStringValue(), writer, local); });

  property.initialize({ClientRole::ALL}, "a", "std::string", 1, false);  // unchanged value
  property.initialize({ClientRole::ALL}, "b", "std::string", 1, false);
  EXPECT_TRUE(property.setStringValue(ClientRole::TRACKING, "c"));
  EXPECT_FALSE(property.setStringValue(ClientRole::TRACKING, "c"));
  EXPECT_TRUE(property.setStringValue(ClientRole::BASE, "d", false));
  EXPECT_FALSE(property.setStringValue(ClientRole::BASE, "d", false));

  EXPECT_EQ(changed, (std::vector<std::string>{"b", "c", "d"}));
  EXPECT_EQ(sources, (std::vector<SourceCall>{{"a", ClientRole::PROCESS_SERVER, false},
                                             {"b", ClientRole::PROCESS_SERVER, false},
                                             {"c", ClientRole::TRACKING, true},
                                             {"d", ClientRole::BASE, false}}));
}

TEST(SourceAwareProperty, ListenersMayCallBackIntoThePropertyOnTheirThread) {
  SourceAwareProperty property(ClientRole::TRACKING, definition("K", "int", "0", {ClientRole::ALL}));
  property.initialize({ClientRole::ALL}, "0", "int", 1, false);
  std::vector<std::string> seen;
  EventConnection connection = property.onSourceChanged([&](const Property& p, ClientRole, bool) {
    seen.push_back(property.getStringValue());
    // A follow-up write from inside the listener, under the same lock.
    if (p.getStringValue() == "1") property.setStringValue(ClientRole::TRACKING, "2");
  });
  EXPECT_TRUE(property.setStringValue(ClientRole::TRACKING, "1"));
  EXPECT_EQ(property.getStringValue(), "2");
  EXPECT_EQ(seen, (std::vector<std::string>{"1", "2"}));
}

}  // namespace
