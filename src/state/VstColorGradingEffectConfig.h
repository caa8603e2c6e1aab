// Settings of the video see-through colour grading effect; its JSON text is
// the value of "Compositor.VSTColorGradingEffect".
#pragma once
#include <array>
#include <map>
#include <string>

#include <nlohmann/json.hpp>

namespace Orvel::State {

struct VstColorGradingEffectConfig {
  bool enabled = false;
  bool useDebugSplit = false;
  float strength = 1.0f;
  float saturation = 1.0f;
  float contrastHigh = 1.0f;
  float contrastMid = 1.0f;
  float contrastLow = 1.0f;
  float contrastMidpoint = 0.5f;
  float temperature = 0.0f;
  float intensity = 1.0f;
  std::array<float, 3> rgbGain{1.0f, 1.0f, 1.0f};
  std::array<float, 3> rgbExp{1.0f, 1.0f, 1.0f};
  // Extra named parameters of the effect; a JSON object of numbers.
  std::map<std::string, float> params;
};

void to_json(nlohmann::json& json, const VstColorGradingEffectConfig& config);

// The compact JSON text of the default settings, made on first use.
const std::string& defaultVstColorGradingEffectText();

}  // namespace Orvel::State
