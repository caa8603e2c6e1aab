// The manifest reader on file contents: the input is written to a manifest
// file and read back. Checks that reading never crashes or throws, that a
// manifest read as valid reports nothing, and that a refused one reports
// either one reading error alone or validation texts that end in
// "Manifest is not compatible". A valid manifest's values are those of the
// JSON document's members (options in the order the JSON library iterates
// them), and the manifest written back as JSON reads again to the same
// fields.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <nlohmann/json.hpp>

#include "FuzzTarget.h"
#include "tracking/PluginDiscovery.h"

namespace {

using Orvel::Fuzz::check;
using Orvel::Fuzz::startsWith;
using Orvel::Tracking::ConfigurationOption;
using Orvel::Tracking::PluginManifest;

// The manifest file: a file in memory, opened again by name for every read,
// so that no input waits for a disk.
class ManifestFile {
 public:
  ManifestFile() : fd_(::memfd_create("orvel-fuzz-manifest", 0)) {
    check(fd_ >= 0, "a file in memory can be made");
    path_ = "/proc/self/fd/" + std::to_string(fd_);
  }
  ~ManifestFile() { ::close(fd_); }

  void write(const void* data, std::size_t size) {
    check(::ftruncate(fd_, 0) == 0, "the manifest file can be emptied");
    check(size == 0 || ::pwrite(fd_, data, size, 0) == static_cast<ssize_t>(size), "the manifest file can be written");
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  const int fd_;
  std::filesystem::path path_;
};

ManifestFile& manifestFile() {
  static ManifestFile file;
  return file;
}

// Reads the text as a manifest; errors are the texts the reader reported.
bool read(const void* data, std::size_t size, PluginManifest& manifest, std::vector<std::string>& errors) {
  manifestFile().write(data, size);
  Orvel::Tracking::PluginDiscovery discovery;
  discovery.setErrorHandler([&errors](const std::string& error) { errors.push_back(error); });
  return discovery.readManifest(manifestFile().path(), manifest);
}

auto fields(const ConfigurationOption& option) {
  return std::tie(option.id, option.label, option.type, option.defaultValue);
}

bool sameOptions(const std::vector<ConfigurationOption>& a, const std::vector<ConfigurationOption>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (fields(a[i]) != fields(b[i])) return false;
  }
  return true;
}

bool same(const PluginManifest& a, const PluginManifest& b) {
  return std::tie(a.ID, a.vendorName, a.productName, a.path, a.icon, a.roomSetup) ==
             std::tie(b.ID, b.vendorName, b.productName, b.path, b.icon, b.roomSetup) &&
         sameOptions(a.configurationOptions, b.configurationOptions);
}

// The valid manifest's values against the document the file holds: its first
// JSON value, what follows being ignored.
void checkAgainstDocument(const std::uint8_t* data, std::size_t size, const PluginManifest& manifest) {
  nlohmann::json document;
  std::istringstream text(std::string(reinterpret_cast<const char*>(data), size));
  text >> document;
  const auto member = [](const nlohmann::json& object, const char* key) { return object.at(key).get<std::string>(); };
  const auto optional = [&](const char* key) { return document.contains(key) ? member(document, key) : std::string(); };
  check(manifest.ID == member(document, "ID") && manifest.vendorName == member(document, "vendorName") &&
            manifest.productName == member(document, "productName") && manifest.path == member(document, "path"),
        "a valid manifest holds the file's required members");
  check(manifest.icon == optional("icon") && manifest.roomSetup == optional("roomSetup"),
        "a valid manifest holds the file's optional members, empty when absent");
  std::vector<ConfigurationOption> options;
  if (document.contains("configurationOptions")) {
    for (const auto& element : document.at("configurationOptions")) {
      options.push_back(ConfigurationOption{member(element, "id"), member(element, "label"), member(element, "type"),
                                            member(element, "defaultValue")});
    }
  }
  check(sameOptions(manifest.configurationOptions, options), "a valid manifest holds the file's options, in order");
}

// The manifest as a manifest file would hold it.
std::string writeBack(const PluginManifest& manifest) {
  nlohmann::json document = {{"manifestFileVersion", "1.0.0.0"},  {"ID", manifest.ID},
                             {"vendorName", manifest.vendorName}, {"productName", manifest.productName},
                             {"path", manifest.path},             {"configurationOptions", nlohmann::json::array()}};
  if (!manifest.icon.empty()) document["icon"] = manifest.icon;
  if (!manifest.roomSetup.empty()) document["roomSetup"] = manifest.roomSetup;
  for (const ConfigurationOption& option : manifest.configurationOptions) {
    document["configurationOptions"].push_back(
        {{"id", option.id}, {"label", option.label}, {"defaultValue", option.defaultValue}, {"type", option.type}});
  }
  return document.dump();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Orvel::Fuzz::silenceLogs();
  PluginManifest manifest;
  std::vector<std::string> errors;
  const bool valid = read(data, size, manifest, errors);

  if (valid) {
    check(errors.empty(), "a valid manifest reports nothing");
    checkAgainstDocument(data, size, manifest);
    const std::string text = writeBack(manifest);
    PluginManifest again;
    std::vector<std::string> errorsAgain;
    check(read(text.data(), text.size(), again, errorsAgain), "a manifest written back reads again");
    check(errorsAgain.empty(), "a manifest written back reports nothing");
    check(same(manifest, again), "a manifest written back reads to the same fields");
    return 0;
  }
  check(!errors.empty(), "a refused manifest reports why");
  if (errors.size() == 1) {
    check(startsWith(errors[0], "Error reading / parsing plugin manifest: ") ||
              startsWith(errors[0], "Error reading manifest file: "),
          "a refusal with one text is a reading error");
  } else {
    check(errors.back() == "Manifest is not compatible", "validation texts end in \"Manifest is not compatible\"");
  }
  return 0;
}
