#include "tracking/HostCallbacks.h"

#include <cstdarg>
#include <mutex>

#include "logging/StringUtil.h"
#include "platform/Clock.h"
#include "tracking/ReportOutput.h"

namespace Orvel::Tracking {

namespace {

std::mutex writerMutex;
HostLineWriter* lineWriter = nullptr;

// Prints one line of a host service (the format has no line end), through
// the writer when one is set.
void announce(const char* format, ...) noexcept ORVEL_PRINTF_FORMAT(1, 2);

void announce(const char* format, ...) noexcept {
  va_list args;
  va_start(args, format);
  std::string line = formatStringV(std::string::npos, format, args);
  va_end(args);
  try {
    const std::lock_guard<std::mutex> lock(writerMutex);
    if (lineWriter != nullptr) {
      lineWriter->writeHostLine(line);
      return;
    }
  } catch (...) {
    // A mutex that cannot be locked: the line still goes out.
  }
  try {
    line += '\n';
  } catch (...) {
    return;
  }
  writeReport(line);
}

// The name of the headset product this test host stands for.
constexpr const char* kProductName = "ZK-1";

const char* getProductName() { return kProductName; }

std::int64_t getIMUCapabilities() {
  announce("\t GetIMUCapabilities(..)");
  return 0;
}

OrvelMatrix4x4 getIMUToHMDTransform() {
  announce("\t GetIMUToHMDTransform(..)");
  OrvelMatrix4x4 identity{};
  for (int i = 0; i < 4; ++i) identity.m[i * 5] = 1.0;
  return identity;
}

void getIMUComponentCalibration() { announce("\t GetIMUComponentCalibration(..)"); }

std::int64_t readIMUSamples() {
  announce("\t ReadIMUSamples(..)");
  return 0;
}

std::int64_t syncConfiguration() {
  announce("\t SyncConfiguration(..)");
  return 1;
}

std::int64_t enumConfigurationKeys() {
  announce("\t EnumConfigurationKeys(..)");
  return 0;
}

void setConfigurationString(std::uint64_t, const char* key, const char* value) {
  announce("\t SetConfigurationString(%s, %s)", pluginText(key), pluginText(value));
}

std::int64_t getConfigurationString(std::uint64_t, const char* key) {
  announce("\t GetConfigurationString(%s)", pluginText(key));
  return 0;
}

// Milliseconds, whatever the name says: the tick count the poses are stamped with.
std::uint64_t getNanosecondTime() {
  announce("\t GetNanosecondTime(..)");
  return platform::tickCount();
}

void writeLogMessage(std::uint64_t, const char* message) {
  announce("\t WriteLogMessage: %s", pluginText(message));
}

void setPluginSystemState(std::uint64_t, std::int64_t state, const char* text) {
  announce("\t SetPluginSystemState(%lld, %s)", static_cast<long long>(state), pluginText(text));
}

}  // namespace

void setHostLineWriter(HostLineWriter* writer) {
  const std::lock_guard<std::mutex> lock(writerMutex);
  lineWriter = writer;
}

HostCallbacks makeHostCallbacks() {
  HostCallbacks callbacks{};
  callbacks.GetProductName = getProductName;
  callbacks.GetIMUCapabilities = getIMUCapabilities;
  callbacks.GetIMUToHMDTransform = getIMUToHMDTransform;
  callbacks.GetIMUComponentCalibration = getIMUComponentCalibration;
  callbacks.ReadIMUSamples = readIMUSamples;
  callbacks.SyncConfiguration = syncConfiguration;
  callbacks.EnumConfigurationKeys = enumConfigurationKeys;
  callbacks.SetConfigurationString = setConfigurationString;
  callbacks.GetConfigurationString = getConfigurationString;
  callbacks.GetNanosecondTime = getNanosecondTime;
  callbacks.WriteLogMessage = writeLogMessage;
  callbacks.SetPluginSystemState = setPluginSystemState;
  return callbacks;
}

}  // namespace Orvel::Tracking
