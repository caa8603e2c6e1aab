// The warning of a write to a property whose local and remote types differ
// is logged once per process, for all properties together, so which test
// sees it depends on the order the tests run in. Every test that makes such
// a write checks its lines here: the first of them in the process sees
// exactly the warning of its own first such write, every later one none.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/LogCapture.h"

namespace Orvel::Test {

inline void expectTypeMismatchWarningOncePerProcess(const LogCapture& capture, const std::string& firstWarning) {
  static bool metBefore = false;  // an earlier test of this process made such a write
  const std::vector<std::string> lines = capture.linesContaining("has invalid property type");
  if (metBefore) {
    EXPECT_EQ(lines, std::vector<std::string>{}) << "logged once per process";
  } else {
    EXPECT_EQ(lines, std::vector<std::string>{firstWarning});
  }
  metBefore = true;
}

}  // namespace Orvel::Test
