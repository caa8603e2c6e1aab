// A temporary program data folder for the listing figure: vendor folders
// under Orvel/OrvelTracking/Plugins holding manifests that all name one
// plugin library. The listing reads it through the ProgramData variable.
// Removed again on destruction.
#pragma once
#include <filesystem>
#include <string>

namespace Orvel::Bench {

class ProgramDataFolder {
 public:
  // manifests spread evenly over vendors folders. Throws on a file-system error.
  ProgramDataFolder(const std::string& library, int manifests, int vendors);
  ~ProgramDataFolder();
  ProgramDataFolder(const ProgramDataFolder&) = delete;
  ProgramDataFolder& operator=(const ProgramDataFolder&) = delete;

  // "ProgramData=<folder>", for the listing's environment.
  std::string environmentEntry() const { return "ProgramData=" + root_.string(); }

 private:
  std::filesystem::path root_;
};

}  // namespace Orvel::Bench
