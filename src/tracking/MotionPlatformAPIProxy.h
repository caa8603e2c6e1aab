// The exports of a motion platform plugin.
#pragma once
#include "tracking/CommonAPIProxy.h"

namespace Orvel::Tracking {

struct MotionPlatformAPIProxy : CommonAPIProxy {
  // The common exports, then orvel_UpdatePose.
  explicit MotionPlatformAPIProxy(const platform::NativePath& pluginPath);

  // The common exports and orvel_UpdatePose present.
  bool isValid() const override;

  // orvel_GetPluginType is present and says 2.
  bool isMotionPlatformPlugin() const;

  PFN_orvel_UpdatePose UpdatePose = nullptr;
};

}  // namespace Orvel::Tracking
