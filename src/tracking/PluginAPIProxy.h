// The exports of a tracking plugin.
#pragma once
#include "tracking/CommonAPIProxy.h"

namespace Orvel::Tracking {

struct PluginAPIProxy : CommonAPIProxy {
  // The common exports, then orvel_TrackerStart, orvel_TrackerStop, orvel_GetHMDPose.
  explicit PluginAPIProxy(const platform::NativePath& pluginPath);

  // The common exports and the three tracking exports present.
  bool isValid() const override;

  // orvel_GetPluginType is present and says 1.
  bool isTrackingPlugin() const;

  PFN_orvel_TrackerStart TrackerStart = nullptr;
  PFN_orvel_TrackerStop TrackerStop = nullptr;
  PFN_orvel_GetHMDPose GetHMDPose = nullptr;
};

}  // namespace Orvel::Tracking
