#include <gtest/gtest.h>

#include <string>
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
