// Test paths written as ASCII text, in the native form the file functions take
// (UTF-16 on Windows, bytes elsewhere): each character stands for itself.
#pragma once
#include <string_view>

#include "platform/NarrowPath.h"

inline Orvel::platform::NativePath asciiPath(std::string_view ascii) {
  return Orvel::platform::NativePath(ascii.begin(), ascii.end());
}
