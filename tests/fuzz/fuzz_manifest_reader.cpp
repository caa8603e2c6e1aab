// The manifest reader on file contents: the input is written to a manifest
// file and read back. Checks that reading never crashes or throws, that a
// manifest read as valid reports nothing, and that a refused one reports
// either one reading error alone or validation texts that end in
// "Manifest is not compatible". A valid manifest's values are those of the
// JSON document's members.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "logging/Logger.h"
#include "tracking/PluginDiscovery.h"

namespace {

bool startsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

// One file per fuzzing process, removed when the process ends.
class ManifestFile {
 public:
  ManifestFile()
      : path_(std::filesystem::temp_directory_path() / ("orvel-fuzz-" + std::to_string(::getpid()) + ".manifest")) {}
  ~ManifestFile() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  const std::filesystem::path path_;
};

const std::filesystem::path& manifestFile() {
  static const ManifestFile file;
  return file.path();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool quiet = [] {
    Orvel::Logger::instance().setSink([](int, const std::string&) {});
    return true;
  }();
  (void)quiet;

  {
    std::ofstream out(manifestFile(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  Orvel::Tracking::PluginDiscovery discovery;
  std::vector<std::string> errors;
  discovery.setErrorHandler([&errors](const std::string& error) { errors.push_back(error); });
  Orvel::Tracking::PluginManifest manifest;
  const bool valid = discovery.readManifest(manifestFile(), manifest);

  if (valid) {
    if (!errors.empty()) std::abort();
    // The document is the first JSON value of the text; what follows it is ignored.
    nlohmann::json document;
    std::istringstream text(std::string(reinterpret_cast<const char*>(data), size));
    text >> document;
    const auto member = [&document](const char* key) { return document.at(key).get<std::string>(); };
    if (manifest.ID != member("ID") || manifest.vendorName != member("vendorName") ||
        manifest.productName != member("productName") || manifest.path != member("path"))
      std::abort();
    if (manifest.icon != (document.contains("icon") ? member("icon") : std::string())) std::abort();
    if (manifest.roomSetup != (document.contains("roomSetup") ? member("roomSetup") : std::string())) std::abort();
    std::size_t options = 0;
    if (document.contains("configurationOptions")) {
      for (const auto& element : document.at("configurationOptions")) {
        (void)element;
        ++options;
      }
    }
    if (manifest.configurationOptions.size() != options) std::abort();
    return 0;
  }
  if (errors.empty()) std::abort();
  if (errors.size() == 1) {
    if (!startsWith(errors[0], "Error reading / parsing plugin manifest: ") &&
        !startsWith(errors[0], "Error reading manifest file: "))
      std::abort();
  } else if (errors.back() != "Manifest is not compatible") {
    std::abort();
  }
  return 0;
}
