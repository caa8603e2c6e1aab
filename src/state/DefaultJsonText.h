// The JSON text of a structured value's defaults, made once: the catalogue's
// default text for a property of that type.
#pragma once
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

namespace Orvel::State {

// A default-constructed T as the JSON stream output writes it (compact).
template <typename T>
const std::string& defaultJsonText() {
  static const std::string text = [] {
    std::ostringstream stream;
    stream << nlohmann::json(T{});
    return stream.str();
  }();
  return text;
}

}  // namespace Orvel::State
