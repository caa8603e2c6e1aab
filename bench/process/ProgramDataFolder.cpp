#include "ProgramDataFolder.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <system_error>

#include <nlohmann/json.hpp>

namespace Orvel::Bench {

namespace {

std::filesystem::path makeTemporaryFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "orvel-bench-programdata-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a folder from " + pattern);
  return pattern;
}

// A manifest every check passes, with a GUID of its own.
std::string manifestText(const std::string& library, int number) {
  char guid[64];
  std::snprintf(guid, sizeof guid, "{6F9619FF-8B86-D011-B42D-%012X}", static_cast<unsigned>(number));
  const nlohmann::json manifest = {{"manifestFileVersion", "1.0.0.0"},
                                   {"ID", guid},
                                   {"vendorName", "Bench Vendor " + std::to_string(number)},
                                   {"productName", "Sample Tracker " + std::to_string(number)},
                                   {"path", library}};
  return manifest.dump(2);
}

}  // namespace

ProgramDataFolder::ProgramDataFolder(const std::string& library, int manifests, int vendors)
    : root_(makeTemporaryFolder()) {
  try {
    const std::filesystem::path plugins = root_ / "Orvel" / "OrvelTracking" / "Plugins";
    for (int number = 0; number < manifests; ++number) {
      const std::filesystem::path vendor = plugins / ("Vendor" + std::to_string(number % vendors));
      std::filesystem::create_directories(vendor);
      std::ofstream file(vendor / ("plugin" + std::to_string(number) + ".manifest"));
      file << manifestText(library, number);
      if (!file) throw std::runtime_error("cannot write a manifest under " + vendor.string());
    }
  } catch (...) {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
    throw;
  }
}

ProgramDataFolder::~ProgramDataFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

}  // namespace Orvel::Bench
