// The text form in which the verification runs print poses, on one line:
// { timeStamp:0, frameNo:0, position:[ 0, 0, 0 ], rotation:[ 0, 0, 0, 0 ], ...,
// poseFlags:0, confidence:0}
// Numbers take the stream's default forms: integers in decimal, doubles as
// printf's "%g" writes them (six significant digits, -0 for negative zero).
#pragma once
#include <ostream>

#include "OrvelPluginAPI.h"

namespace Orvel::Tracking {

// Writes the pose text, without a line end; returns the stream.
std::ostream& formatPose(std::ostream& stream, const Pose& pose);

// Writes "[ x, y, z ]"; returns the stream.
std::ostream& formatVector3(std::ostream& stream, double x, double y, double z);

}  // namespace Orvel::Tracking
