// strutil::TryParse<T>: reads a value of T from its text form. Each value type
// that has a text form specialises it beside the type, as a function object:
//   bool operator()(const std::string& text, T& out) const;
// which returns false (after logging why) when the text does not parse.
#pragma once

namespace strutil {

template <typename T>
struct TryParse;

}  // namespace strutil
