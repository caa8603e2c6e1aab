// Reading a manifest file: parse, check the required keys and the format
// version, then copy the values into the record.
#include "tracking/PluginDiscovery.h"

#include <fstream>

#include <nlohmann/json.hpp>

#include "logging/StringUtil.h"

namespace Orvel::Tracking {

namespace {

constexpr const char* kSupportedManifestFileVersion = "1.0.0.0";

// Every key is tested, so one read reports all that are missing.
bool validateManifest(const nlohmann::json& document, const PluginDiscovery& discovery) {
  bool valid = true;
  for (const char* key : {"manifestFileVersion", "ID", "vendorName", "path", "productName"}) {
    if (document.is_object() && document.contains(key)) continue;
    valid = false;
    try {
      discovery.reportError(formatString("Manifest doesn't contain mandatory field: %s", key));
    } catch (const std::exception& e) {
      discovery.reportError(formatString("Error [%s] while reading manifest field: [%s]", e.what(), key));
    }
  }

  std::string version;
  try {
    version = document.at("manifestFileVersion").get<std::string>();
  } catch (const std::exception& e) {
    discovery.reportError(formatString("Error [%s] checking manifest file version", e.what()));
    return false;
  }
  if (version != kSupportedManifestFileVersion) {
    discovery.reportError(formatString("Incompatible manifest file version: %s", version.c_str()));
    return false;
  }
  return valid;
}

bool parseManifest(const nlohmann::json& document, PluginManifest& manifest, const PluginDiscovery& discovery) {
  if (!validateManifest(document, discovery)) {
    discovery.reportError("Manifest is not compatible");
    return false;
  }
  try {
    manifest.ID = document.at("ID").get<std::string>();
    manifest.vendorName = document.at("vendorName").get<std::string>();
    manifest.productName = document.at("productName").get<std::string>();
    manifest.path = document.at("path").get<std::string>();
    if (document.contains("icon")) manifest.icon = document.at("icon").get<std::string>();
    if (document.contains("roomSetup")) manifest.roomSetup = document.at("roomSetup").get<std::string>();
    if (document.contains("configurationOptions")) {
      // Iterated as the library iterates any value: array elements in order,
      // object members by key, nothing for null, a single value as one element.
      // Read in place: a copy would follow any nesting depth on the stack.
      const nlohmann::json& options = document.at("configurationOptions");
      for (const nlohmann::json& element : options) {
        ConfigurationOption option;
        option.id = element.at("id").get<std::string>();
        option.label = element.at("label").get<std::string>();
        option.defaultValue = element.at("defaultValue").get<std::string>();
        option.type = element.at("type").get<std::string>();
        manifest.configurationOptions.push_back(std::move(option));
      }
    }
  } catch (const std::exception& e) {
    discovery.reportError(formatString("Error reading manifest file: %s", e.what()));
    return false;
  }
  return true;
}

}  // namespace

bool PluginDiscovery::readManifest(const std::filesystem::path& file, PluginManifest& manifest) const {
  nlohmann::json document;
  try {
    // An installer may hold the file open: the stream shares reading and
    // writing. A file that cannot be opened parses as empty input. Parsing
    // stops after the first complete value; comments are refused.
    std::ifstream stream(file);
    // The whole file in one string first: the parser then reads plain memory
    // instead of calling into the stream for every character.
    std::string text;
    char chunk[4096];
    while (stream.read(chunk, sizeof chunk) || stream.gcount() > 0) {
      text.append(chunk, static_cast<std::size_t>(stream.gcount()));
    }
    nlohmann::detail::json_sax_dom_parser<nlohmann::json> builder(document, true);
    nlohmann::json::sax_parse(text, &builder, nlohmann::json::input_format_t::json, /*strict=*/false);
  } catch (const std::exception& e) {
    reportError(formatString("Error reading / parsing plugin manifest: %s", e.what()));
    return false;
  }
  return parseManifest(document, manifest, *this);
}

}  // namespace Orvel::Tracking
