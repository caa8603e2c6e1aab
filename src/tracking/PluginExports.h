// The exports of the plugin ABI as one table, in ABI order: each export's
// name, the proxy member it binds and which kind of plugin needs it. The
// proxies bind their members from it, isValid tests them by it, and the
// verification runs and the listing's validation report and call by it.
#pragma once
#include <array>
#include <cstddef>

namespace Orvel::Tracking {

struct CommonAPIProxy;

enum class PluginKind { Tracking, MotionPlatform };

// An export; its value is its row in the table.
enum class PluginExport {
  GetPluginType,
  GetPluginAPIVersion,
  GetPluginName,
  GetPluginStatusDescription,
  PluginInit,
  PluginShutdown,
  TrackerStart,
  TrackerStop,
  GetHMDPose,
  UpdatePose,
};
constexpr std::size_t kPluginExportCount = 10;

struct PluginExportEntry {
  PluginExport id;
  const char* name;  // "orvel_" and the member's name
  bool neededByTracking;
  bool neededByMotionPlatform;
  // Stores a resolved address (null when missing) in the proxy member. Only
  // called on a proxy of a kind that needs the export.
  void (*bind)(CommonAPIProxy& proxy, void* address);
  // The proxy member is not null. Only called on a proxy that binds it.
  bool (*isBound)(const CommonAPIProxy& proxy);

  bool isNeededBy(PluginKind kind) const {
    return kind == PluginKind::Tracking ? neededByTracking : neededByMotionPlatform;
  }
  // Every kind of plugin has it.
  bool isCommon() const { return neededByTracking && neededByMotionPlatform; }
};

const std::array<PluginExportEntry, kPluginExportCount>& pluginExports();

// "orvel_GetPluginType", ...
const char* exportName(PluginExport id);

// The number of exports that a plugin of the kind needs (nine, seven).
std::size_t neededExportCount(PluginKind kind);

}  // namespace Orvel::Tracking
