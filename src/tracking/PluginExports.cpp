#include "tracking/PluginExports.h"

#include "tracking/MotionPlatformAPIProxy.h"
#include "tracking/PluginAPIProxy.h"

namespace Orvel::Tracking {

namespace {

template <typename Proxy, typename Function, Function Proxy::*member>
void bindMember(CommonAPIProxy& proxy, void* address) {
  static_cast<Proxy&>(proxy).*member = reinterpret_cast<Function>(address);
}

template <typename Proxy, typename Function, Function Proxy::*member>
bool isMemberBound(const CommonAPIProxy& proxy) {
  return static_cast<const Proxy&>(proxy).*member != nullptr;
}

#define ORVEL_EXPORT_ROW(Proxy, member, tracking, motionPlatform)                                      \
  PluginExportEntry {                                                                                  \
    PluginExport::member, "orvel_" #member, tracking, motionPlatform,                                  \
        &bindMember<Proxy, decltype(Proxy::member), &Proxy::member>,                                   \
        &isMemberBound<Proxy, decltype(Proxy::member), &Proxy::member>                                 \
  }

const std::array<PluginExportEntry, kPluginExportCount> kExports = {{
    ORVEL_EXPORT_ROW(CommonAPIProxy, GetPluginType, true, true),
    ORVEL_EXPORT_ROW(CommonAPIProxy, GetPluginAPIVersion, true, true),
    ORVEL_EXPORT_ROW(CommonAPIProxy, GetPluginName, true, true),
    ORVEL_EXPORT_ROW(CommonAPIProxy, GetPluginStatusDescription, true, true),
    ORVEL_EXPORT_ROW(CommonAPIProxy, PluginInit, true, true),
    ORVEL_EXPORT_ROW(CommonAPIProxy, PluginShutdown, true, true),
    ORVEL_EXPORT_ROW(PluginAPIProxy, TrackerStart, true, false),
    ORVEL_EXPORT_ROW(PluginAPIProxy, TrackerStop, true, false),
    ORVEL_EXPORT_ROW(PluginAPIProxy, GetHMDPose, true, false),
    ORVEL_EXPORT_ROW(MotionPlatformAPIProxy, UpdatePose, false, true),
}};

#undef ORVEL_EXPORT_ROW

}  // namespace

const std::array<PluginExportEntry, kPluginExportCount>& pluginExports() { return kExports; }

const char* exportName(PluginExport id) { return kExports[static_cast<std::size_t>(id)].name; }

std::size_t neededExportCount(PluginKind kind) {
  std::size_t count = 0;
  for (const PluginExportEntry& entry : kExports) count += entry.isNeededBy(kind) ? 1 : 0;
  return count;
}

}  // namespace Orvel::Tracking
