#include "tracking/PoseText.h"

namespace Orvel::Tracking {

std::ostream& formatVector3(std::ostream& stream, double x, double y, double z) {
  return stream << "[ " << x << ", " << y << ", " << z << " ]";
}

std::ostream& formatPose(std::ostream& stream, const Pose& pose) {
  stream << "{ timeStamp:" << pose.timeStamp;
  stream << ", frameNo:" << pose.frameNo;
  stream << ", position:";
  formatVector3(stream, pose.position[0], pose.position[1], pose.position[2]);
  stream << ", rotation:[ " << pose.rotation[0] << ", " << pose.rotation[1] << ", " << pose.rotation[2] << ", "
         << pose.rotation[3] << " ]";
  stream << ", velocity:";
  formatVector3(stream, pose.velocity[0], pose.velocity[1], pose.velocity[2]);
  stream << ", angularVelocity:";
  formatVector3(stream, pose.angularVelocity[0], pose.angularVelocity[1], pose.angularVelocity[2]);
  stream << ", acceleration:";
  formatVector3(stream, pose.acceleration[0], pose.acceleration[1], pose.acceleration[2]);
  stream << ", poseFlags:" << pose.poseFlags;
  stream << ", confidence:" << pose.confidence;
  return stream << "}";
}

}  // namespace Orvel::Tracking
