#include "tracking/HostCallbacks.h"

#include "platform/Clock.h"
#include "tracking/ReportOutput.h"

namespace Orvel::Tracking {

namespace {

// The name of the headset product this test host stands for.
constexpr const char* kProductName = "ZK-1";

const char* getProductName() { return kProductName; }

std::int64_t getIMUCapabilities() {
  printReport("\t GetIMUCapabilities(..)\n");
  return 0;
}

OrvelMatrix4x4 getIMUToHMDTransform() {
  printReport("\t GetIMUToHMDTransform(..)\n");
  OrvelMatrix4x4 identity{};
  for (int i = 0; i < 4; ++i) identity.m[i * 5] = 1.0;
  return identity;
}

void getIMUComponentCalibration() { printReport("\t GetIMUComponentCalibration(..)\n"); }

std::int64_t readIMUSamples() {
  printReport("\t ReadIMUSamples(..)\n");
  return 0;
}

std::int64_t syncConfiguration() {
  printReport("\t SyncConfiguration(..)\n");
  return 1;
}

std::int64_t enumConfigurationKeys() {
  printReport("\t EnumConfigurationKeys(..)\n");
  return 0;
}

void setConfigurationString(std::uint64_t, const char* key, const char* value) {
  printReport("\t SetConfigurationString(%s, %s)\n", pluginText(key), pluginText(value));
}

std::int64_t getConfigurationString(std::uint64_t, const char* key) {
  printReport("\t GetConfigurationString(%s)\n", pluginText(key));
  return 0;
}

// Milliseconds, whatever the name says: the tick count the poses are stamped with.
std::uint64_t getNanosecondTime() {
  printReport("\t GetNanosecondTime(..)\n");
  return platform::tickCount();
}

void writeLogMessage(std::uint64_t, const char* message) {
  printReport("\t WriteLogMessage: %s\n", pluginText(message));
}

void setPluginSystemState(std::uint64_t, std::int64_t state, const char* text) {
  printReport("\t SetPluginSystemState(%lld, %s)\n", static_cast<long long>(state), pluginText(text));
}

}  // namespace

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
