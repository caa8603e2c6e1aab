// The JSON text of a structured value's defaults, made once: the catalogue's
// default text for a property of that type.
#pragma once
#include <string>

#include <nlohmann/json.hpp>

namespace Orvel::State {

// A default-constructed T as the JSON stream output writes it (compact, as
// dump() without an indent does; no stream is made for it).
template <typename T>
const std::string& defaultJsonText() {
  static const std::string text = nlohmann::json(T{}).dump();
  return text;
}

}  // namespace Orvel::State
