// The listing's heading of a valid and of an invalid plugin of a kind.
#pragma once
#include "tracking/LibraryValidation.h"

namespace Orvel::Verifier {

struct KindHeadings {
  const char* valid;
  const char* invalid;
};

inline KindHeadings headingsOf(Tracking::LibraryValidation::Kind kind) {
  if (kind == Tracking::LibraryValidation::Kind::MotionPlatform) {
    return {"Manifest references motion platform plugin:", "Manifest references invalid motion platfrom plugin:"};
  }
  return {"Manifest references tracking plugin:", "Manifest references invalid tracking plugin:"};
}

}  // namespace Orvel::Verifier
