#include <nlohmann/json.hpp>

#include "DiscoveryFixture.h"

using Orvel::Tracking::PluginManifest;

namespace {

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

// The five required keys, then some keys replaced, added or (null) removed.
std::string manifestWith(const std::vector<std::pair<std::string, nlohmann::json>>& changes) {
  nlohmann::json document = {
      {"manifestFileVersion", "1.0.0.0"}, {"ID", "id"}, {"vendorName", "v"}, {"path", "p.dll"}, {"productName", "p"}};
  for (const auto& [key, value] : changes) {
    if (value.is_null()) document.erase(key);
    else document[key] = value;
  }
  return document.dump();
}

std::string options(const nlohmann::json& value) { return manifestWith({{"configurationOptions", value}}); }

}  // namespace

TEST_F(DiscoveryTest, ReadsEveryFieldOfAValidManifest) {
  const std::string text = R"({"manifestFileVersion": "1.0.0.0", "ID": "{8C1B4E0A}", "vendorName": "Acme Tr\u00e4cking",
    "productName": "Head Tracker", "path": "%ACME_HOME%\\tracker.dll", "icon": "t.png", "roomSetup": "room.json",
    "description": "ignored", "configurationOptions": [
      {"id": "rate", "label": "Rate", "defaultValue": "90", "type": "int", "unit": "ignored"},
      {"id": "mode", "label": "Mode", "defaultValue": "fast", "type": "enum"}]} {"a second value": "never read"})";
  PluginManifest m;
  ASSERT_TRUE(discovery.readManifest(write("valid.manifest", text), m));
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(m.ID + "|" + m.vendorName + "|" + m.productName + "|" + m.path + "|" + m.icon + "|" + m.roomSetup,
            "{8C1B4E0A}|Acme Tr\xC3\xA4""cking|Head Tracker|%ACME_HOME%\\tracker.dll|t.png|room.json");
  ASSERT_EQ(m.configurationOptions.size(), 2u);
  for (const auto& [index, expected] : {std::pair{0, "rate|Rate|int|90"}, std::pair{1, "mode|Mode|enum|fast"}}) {
    const auto& o = m.configurationOptions[index];
    EXPECT_EQ(o.id + "|" + o.label + "|" + o.type + "|" + o.defaultValue, expected);
  }

  // Options may be absent, empty, null, or an object read in key order.
  const std::pair<std::string, std::string> optionCases[] = {
      {manifestWith({}), ""},
      {options(nlohmann::json::array()), ""},
      {manifestWith({}).insert(1, R"("configurationOptions":null,)"), ""},
      {options({{"b", {{"id", "b"}, {"label", ""}, {"defaultValue", ""}, {"type", ""}}},
                {"a", {{"id", "a"}, {"label", ""}, {"defaultValue", ""}, {"type", ""}}}}),
       "ab"},
  };
  for (const auto& [text, ids] : optionCases) {
    PluginManifest manifest;
    EXPECT_TRUE(discovery.readManifest(write("options.manifest", text), manifest)) << text;
    std::string read;
    for (const auto& option : manifest.configurationOptions) read += option.id;
    EXPECT_EQ(read, ids) << text;
  }
  EXPECT_TRUE(errors.empty());
}

TEST_F(DiscoveryTest, ReportsEveryProblemOfARejectedManifest) {
  const std::string notCompatible = "Manifest is not compatible";
  auto missing = [](const char* key) { return std::string("Manifest doesn't contain mandatory field: ") + key; };
  auto versionError = [](auto action) { return "Error [" + libraryError(action) + "] checking manifest file version"; };
  const nlohmann::json object = nlohmann::json::object();
  const nlohmann::json number = 5;
  const std::string parseError = "Error reading / parsing plugin manifest: ";
  const std::string readError = "Error reading manifest file: " + libraryError([&] { return number.get<std::string>(); });
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {manifestWith({{"ID", nullptr}}), {missing("ID"), notCompatible}},
      {manifestWith({{"path", nullptr}, {"productName", nullptr}}), {missing("path"), missing("productName"), notCompatible}},
      {manifestWith({{"manifestFileVersion", nullptr}}),
       {missing("manifestFileVersion"), versionError([&] { return object.at("manifestFileVersion"); }), notCompatible}},
      {"[1, 2]",
       {missing("manifestFileVersion"), missing("ID"), missing("vendorName"), missing("path"), missing("productName"),
        versionError([] { return nlohmann::json::array().at("manifestFileVersion"); }), notCompatible}},
      {manifestWith({{"manifestFileVersion", 1}}), {versionError([&] { return number.get<std::string>(); }), notCompatible}},
      {manifestWith({{"manifestFileVersion", "1.0"}}), {"Incompatible manifest file version: 1.0", notCompatible}},
      {manifestWith({{"manifestFileVersion", "1.0.0.0 "}}), {"Incompatible manifest file version: 1.0.0.0 ", notCompatible}},
      {manifestWith({{"vendorName", nullptr}, {"manifestFileVersion", "1.0.0.1"}}),
       {missing("vendorName"), "Incompatible manifest file version: 1.0.0.1", notCompatible}},
      {manifestWith({{"vendorName", 7}}), {readError}},
      {manifestWith({{"icon", 7}}), {readError}},
      {options("x"), {"Error reading manifest file: " + libraryError([] { return nlohmann::json("x").at("id"); })}},
      {options({{{"id", "a"}, {"label", "b"}, {"defaultValue", "c"}}}),
       {"Error reading manifest file: " + libraryError([&] { return object.at("type"); })}},
      {"", {parseError + libraryError([] { return nlohmann::json::parse(""); })}},
      {"{ // comment\n}", {parseError + libraryError([] { return nlohmann::json::parse("{ // comment\n}"); })}},
  };
  for (const auto& [text, expected] : cases) {
    errors.clear();
    PluginManifest manifest;
    EXPECT_FALSE(discovery.readManifest(write("case.manifest", text), manifest)) << text;
    EXPECT_EQ(errors, expected) << text;
  }

  errors.clear();
  PluginManifest manifest;
  EXPECT_FALSE(discovery.readManifest(folder / "absent.manifest", manifest));
  EXPECT_EQ(errors, std::vector<std::string>{parseError + libraryError([] { return nlohmann::json::parse(""); })})
      << "a file that cannot be opened reads as empty input";
}

TEST_F(DiscoveryTest, AHandlerThatThrowsOnAMissingFieldIsToldAgain) {
  discovery.setErrorHandler([this](const std::string& error) {
    errors.push_back(error);
    if (error.rfind("Manifest doesn't", 0) == 0) throw std::runtime_error("handler full");
  });
  PluginManifest manifest;
  EXPECT_FALSE(discovery.readManifest(write("no-id.manifest", manifestWith({{"ID", nullptr}})), manifest));
  EXPECT_EQ(errors, (std::vector<std::string>{"Manifest doesn't contain mandatory field: ID",
                                              "Error [handler full] while reading manifest field: [ID]",
                                              "Manifest is not compatible"}));
}

TEST_F(DiscoveryTest, DefaultHandlerLogsEachTextAsAWarning) {
  Orvel::Tracking::PluginDiscovery fresh;
  PluginManifest manifest;
  EXPECT_FALSE(fresh.readManifest(write("v.manifest", manifestWith({{"manifestFileVersion", "2.0 100%"}})), manifest));
  const std::vector<std::string> logLines = log.lines();
  ASSERT_EQ(logLines.size(), 2u);
  // The lambda's name is the compiler's; its enclosing class is fixed.
  const std::string prefix = " WAR [Orvel::Tracking::PluginDiscovery::";
  for (const auto& [line, message] : {std::pair{logLines[0], "] Incompatible manifest file version: 2.0 100%"},
                                      std::pair{logLines[1], "] Manifest is not compatible"}}) {
    EXPECT_EQ(line.rfind(prefix, 0), 0u) << line;
    EXPECT_NE(line.find("lambda"), std::string::npos) << line;
    EXPECT_EQ(line.substr(line.size() - std::string(message).size()), message) << line;
  }
}
