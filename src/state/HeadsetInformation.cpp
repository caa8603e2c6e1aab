#include "state/HeadsetInformation.h"

#include "logging/Log.h"
#include "state/DefaultJsonText.h"

namespace Orvel::State {

std::string productTypeToString(std::int32_t productType) {
  switch (productType) {
    case 4:
      return "Q410";
    case 5:
      return "R520";
    case 6:
      return "R630";
    case 7:
      return "Q740";
    default:
      LOG_ERROR("Unrecognized product type %d", productType);
      return "";
  }
}

std::string productBuildToString(std::int32_t productBuild) {
  switch (productBuild) {
    case 1:
      return "S1";
    case 2:
      return "S2";
    case 3:
      return "S3";
    case 4:
      return "S4";
    case 1001:
      return "EVT";
    case 1002:
      return "DVT";
    case 1003:
      return "PVT";
    case 2000:
      return "PRODUCTION";
    case 3000:
      return "UNKNOWN";
    default:
      return "Undefined";
  }
}

void to_json(nlohmann::json& json, const HeadsetInformation::FirmwareInformation& firmware) {
  json = nlohmann::json{{"version", firmware.version},
                        {"name", firmware.name},
                        {"checksum", firmware.checksum},
                        {"size", firmware.size}};
}

void to_json(nlohmann::json& json, const HeadsetInformation& information) {
  json = nlohmann::json{{"productType", productTypeToString(information.productType)},
                        {"productBuild", productBuildToString(information.productBuild)},
                        {"productName", information.productName},
                        {"serialNumber", information.serialNumber},
                        {"isVSTSupported", information.isVSTSupported},
                        {"firmwareInformation", information.firmwareInformation},
                        {"productTypeCustomFlags", information.productTypeCustomFlags}};
}

const std::string& defaultHeadsetInformationText() { return defaultJsonText<HeadsetInformation>(); }

}  // namespace Orvel::State
