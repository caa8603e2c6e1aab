#include <nlohmann/json.hpp>

#include "DiscoveryFixture.h"

using Orvel::Tracking::PluginManifest;

namespace {

const std::string kValid = R"({
  "manifestFileVersion": "1.0.0.0",
  "ID": "{8C1B4E0A-5F7D-4B2E-9A61-0D3C2B7E4F15}",
  "vendorName": "Acme Tr\u00e4cking",
  "productName": "Head Tracker",
  "path": "%ACME_HOME%\\bin\\tracker.dll",
  "icon": "tracker.png",
  "roomSetup": "room.json",
  "description": "ignored",
  "configurationOptions": [
    {"id": "rate", "label": "Rate", "defaultValue": "90", "type": "int", "unit": "Hz"},
    {"id": "mode", "label": "Mode", "defaultValue": "fast", "type": "enum"}
  ]
})";

// The JSON library's own text for a failure, so the expectations hold for
// whichever library version is installed.
template <typename Action>
std::string libraryError(Action action) {
  try {
    action();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "no exception";
}

// A document with the five required keys, then some keys replaced, added or
// (given as null) removed.
std::string manifestWith(const std::vector<std::pair<std::string, nlohmann::json>>& changes) {
  nlohmann::json document = {{"manifestFileVersion", "1.0.0.0"}, {"ID", "id"},        {"vendorName", "v"},
                             {"path", "p.dll"},                  {"productName", "p"}};
  for (const auto& [key, value] : changes) {
    if (value.is_null()) {
      document.erase(key);
    } else {
      document[key] = value;
    }
  }
  return document.dump();
}

std::string withKey(const std::string& key, const nlohmann::json& value) { return manifestWith({{key, value}}); }

}  // namespace

TEST_F(DiscoveryTest, ReadsEveryFieldOfAValidManifest) {
  PluginManifest manifest;
  ASSERT_TRUE(discovery.readManifest(write("valid.manifest", kValid), manifest));
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(manifest.ID, "{8C1B4E0A-5F7D-4B2E-9A61-0D3C2B7E4F15}");
  EXPECT_EQ(manifest.vendorName, "Acme Tr\xC3\xA4""cking");
  EXPECT_EQ(manifest.productName, "Head Tracker");
  EXPECT_EQ(manifest.path, "%ACME_HOME%\\bin\\tracker.dll") << "stored unexpanded";
  EXPECT_EQ(manifest.icon, "tracker.png");
  EXPECT_EQ(manifest.roomSetup, "room.json");
  ASSERT_EQ(manifest.configurationOptions.size(), 2u);
  const auto& rate = manifest.configurationOptions[0];
  EXPECT_EQ(rate.id + "|" + rate.label + "|" + rate.type + "|" + rate.defaultValue, "rate|Rate|int|90");
  const auto& mode = manifest.configurationOptions[1];
  EXPECT_EQ(mode.id + "|" + mode.label + "|" + mode.type + "|" + mode.defaultValue, "mode|Mode|enum|fast");
}

TEST_F(DiscoveryTest, ReportsEveryProblemOfARejectedManifest) {
  const std::string notCompatible = "Manifest is not compatible";
  auto missing = [](const char* key) { return std::string("Manifest doesn't contain mandatory field: ") + key; };
  const nlohmann::json array = nlohmann::json::array();
  const nlohmann::json object = nlohmann::json::object();
  const nlohmann::json number = 5;
  struct Case {
    const char* name;
    std::string content;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"no ID", withKey("ID", nullptr), {missing("ID"), notCompatible}},
      {"no path nor productName", manifestWith({{"path", nullptr}, {"productName", nullptr}}),
       {missing("path"), missing("productName"), notCompatible}},
      {"no version",
       withKey("manifestFileVersion", nullptr),
       {missing("manifestFileVersion"),
        "Error [" + libraryError([&] { object.at("manifestFileVersion"); }) + "] checking manifest file version",
        notCompatible}},
      {"array",
       "[1, 2]",
       {missing("manifestFileVersion"), missing("ID"), missing("vendorName"), missing("path"), missing("productName"),
        "Error [" + libraryError([&] { array.at("manifestFileVersion"); }) + "] checking manifest file version",
        notCompatible}},
      {"version as number",
       withKey("manifestFileVersion", 1),
       {"Error [" + libraryError([&] { number.get<std::string>(); }) + "] checking manifest file version",
        notCompatible}},
      {"version 1.0.0.1", withKey("manifestFileVersion", "1.0.0.1"),
       {"Incompatible manifest file version: 1.0.0.1", notCompatible}},
      {"version 1.0", withKey("manifestFileVersion", "1.0"), {"Incompatible manifest file version: 1.0", notCompatible}},
      {"version with a blank", withKey("manifestFileVersion", "1.0.0.0 "),
       {"Incompatible manifest file version: 1.0.0.0 ", notCompatible}},
      {"missing key and bad version", manifestWith({{"vendorName", nullptr}, {"manifestFileVersion", "2.0.0.0"}}),
       {missing("vendorName"), "Incompatible manifest file version: 2.0.0.0", notCompatible}},
      {"vendorName as number", withKey("vendorName", 7),
       {"Error reading manifest file: " + libraryError([&] { number.get<std::string>(); })}},
      {"options as a string", withKey("configurationOptions", "x"),
       {"Error reading manifest file: " + libraryError([&] { nlohmann::json("x").at("id"); })}},
      {"option without type", withKey("configurationOptions", {{{"id", "a"}, {"label", "b"}, {"defaultValue", "c"}}}),
       {"Error reading manifest file: " + libraryError([&] { object.at("type"); })}},
      {"icon as number", withKey("icon", 3),
       {"Error reading manifest file: " + libraryError([&] { number.get<std::string>(); })}},
  };
  for (const Case& c : cases) {
    errors.clear();
    PluginManifest manifest;
    EXPECT_FALSE(discovery.readManifest(write("case.manifest", c.content), manifest)) << c.name;
    EXPECT_EQ(errors, c.expected) << c.name;
  }
}

TEST_F(DiscoveryTest, UnreadableOrInvalidJsonIsOneParseError) {
  const std::string prefix = "Error reading / parsing plugin manifest: ";
  struct Case {
    const char* name;
    std::filesystem::path file;
    std::string expected;
  };
  const Case cases[] = {
      {"missing file", folder / "absent.manifest", prefix + libraryError([] { return nlohmann::json::parse(""); })},
      {"empty file", write("empty.manifest", ""), prefix + libraryError([] { return nlohmann::json::parse(""); })},
      {"comment", write("comment.manifest", R"({ // a comment
        "ID": "x"})"),
       prefix + libraryError([] { return nlohmann::json::parse("{ // a comment\n        \"ID\": \"x\"}"); })},
      {"truncated", write("truncated.manifest", R"({"ID": "x")"),
       prefix + libraryError([] { return nlohmann::json::parse(R"({"ID": "x")"); })},
  };
  for (const Case& c : cases) {
    errors.clear();
    PluginManifest manifest;
    EXPECT_FALSE(discovery.readManifest(c.file, manifest)) << c.name;
    EXPECT_EQ(errors, std::vector<std::string>{c.expected}) << c.name;
    EXPECT_EQ(errors.front().rfind(prefix + "[json.exception.parse_error.101]", 0), 0u) << c.name;
  }
}

TEST_F(DiscoveryTest, ToleratesWhatTheFormatLeavesOpen) {
  struct Case {
    const char* name;
    std::string content;
    std::vector<std::string> optionIds;
  };
  const Case cases[] = {
      {"text after the object", withKey("ID", "x") + R"( {"second": true} garbage)", {}},
      {"options empty", withKey("configurationOptions", nlohmann::json::array()), {}},
      {"options null", R"({"manifestFileVersion":"1.0.0.0","ID":"i","vendorName":"v","path":"p","productName":"p",)"
                       R"("configurationOptions":null})",
       {}},
      {"options as object, by key",
       R"({"manifestFileVersion":"1.0.0.0","ID":"i","vendorName":"v","path":"p","productName":"p",)"
       R"("configurationOptions":{"b":{"id":"b","label":"","defaultValue":"","type":""},)"
       R"("a":{"id":"a","label":"","defaultValue":"","type":""}}})",
       {"a", "b"}},
  };
  for (const Case& c : cases) {
    errors.clear();
    PluginManifest manifest;
    EXPECT_TRUE(discovery.readManifest(write("case.manifest", c.content), manifest)) << c.name;
    EXPECT_TRUE(errors.empty()) << c.name << ": " << (errors.empty() ? "" : errors.front());
    std::vector<std::string> ids;
    for (const auto& option : manifest.configurationOptions) ids.push_back(option.id);
    EXPECT_EQ(ids, c.optionIds) << c.name;
    EXPECT_EQ(manifest.icon, "") << c.name;
  }
}

TEST_F(DiscoveryTest, AHandlerThatThrowsOnAMissingFieldIsToldAgain) {
  discovery.setErrorHandler([this](const std::string& error) {
    errors.push_back(error);
    if (error.rfind("Manifest doesn't", 0) == 0) throw std::runtime_error("handler full");
  });
  PluginManifest manifest;
  EXPECT_FALSE(discovery.readManifest(write("no-id.manifest", withKey("ID", nullptr)), manifest));
  EXPECT_EQ(errors, (std::vector<std::string>{"Manifest doesn't contain mandatory field: ID",
                                              "Error [handler full] while reading manifest field: [ID]",
                                              "Manifest is not compatible"}));
}

TEST_F(DiscoveryTest, DefaultHandlerLogsEachTextAsAWarning) {
  Orvel::Tracking::PluginDiscovery fresh;
  PluginManifest manifest;
  EXPECT_FALSE(fresh.readManifest(write("v2.manifest", withKey("manifestFileVersion", "2.0.0.0 100%")), manifest));
  ASSERT_EQ(logLines.size(), 2u);
  const std::string lambda = "Orvel::Tracking::PluginDiscovery::PluginDiscovery::<lambda>::operator ()";
  EXPECT_EQ(logLines[0], " WAR [" + lambda + "] Incompatible manifest file version: 2.0.0.0 100%");
  EXPECT_EQ(logLines[1], " WAR [" + lambda + "] Manifest is not compatible");
}
