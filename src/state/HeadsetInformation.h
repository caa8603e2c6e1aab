// What the runtime knows about a headset; its JSON text is the value of
// "lastConnectedHeadsetInformation".
#pragma once
#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

namespace Orvel::State {

struct HeadsetInformation {
  struct FirmwareInformation {
    std::string version;
    std::string name;
    std::string checksum;
    std::uint64_t size = 0;
  };

  std::int32_t productType = 7;
  std::int32_t productBuild = 3000;
  std::string productName = "Q740";
  std::string serialNumber = "8R0000000000000000";
  bool isVSTSupported = true;
  FirmwareInformation firmwareInformation;
  std::uint64_t productTypeCustomFlags = 1;
};

// "Q410", "R520", "R630", "Q740" for 4 to 7; any other number is logged and
// gives the empty text.
std::string productTypeToString(std::int32_t productType);
// "S1".."S4", "EVT", "DVT", "PVT", "PRODUCTION", "UNKNOWN"; "Undefined" otherwise.
std::string productBuildToString(std::int32_t productBuild);

// JSON form: product type and build by name, firmware as a nested object.
void to_json(nlohmann::json& json, const HeadsetInformation::FirmwareInformation& firmware);
void to_json(nlohmann::json& json, const HeadsetInformation& information);

// The compact JSON text of the default HeadsetInformation, made on first use.
const std::string& defaultHeadsetInformationText();

}  // namespace Orvel::State
