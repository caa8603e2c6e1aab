#include "state/VstColorGradingEffectConfig.h"

#include "state/DefaultJsonText.h"

namespace Orvel::State {

void to_json(nlohmann::json& json, const VstColorGradingEffectConfig& config) {
  json = nlohmann::json{{"enabled", config.enabled},
                        {"useDebugSplit", config.useDebugSplit},
                        {"strength", config.strength},
                        {"saturation", config.saturation},
                        {"contrastHigh", config.contrastHigh},
                        {"contrastMid", config.contrastMid},
                        {"contrastLow", config.contrastLow},
                        {"contrastMidpoint", config.contrastMidpoint},
                        {"temperature", config.temperature},
                        {"intensity", config.intensity},
                        {"rgbGain", config.rgbGain},
                        {"rgbExp", config.rgbExp},
                        {"params", nlohmann::json(config.params)}};
}

const std::string& defaultVstColorGradingEffectText() { return defaultJsonText<VstColorGradingEffectConfig>(); }

}  // namespace Orvel::State
