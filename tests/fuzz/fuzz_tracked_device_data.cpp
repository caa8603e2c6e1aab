// Reading the tracked-device list and describing a change of it. The input
// is split into an old and a new value text. Checks that reading and
// describing never crash, that the empty text reads as the default list, that
// a text compared with itself describes no change, and that a description
// starts with "Headset: " when a field of the headset differs.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "logging/Logger.h"
#include "state/TrackedDeviceData.h"

namespace {

using Orvel::TrackedDeviceData;

bool read(const std::string& text, TrackedDeviceData& data) { return strutil::TryParse<TrackedDeviceData>{}(text, data); }

bool startsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool quiet = [] {
    Orvel::Logger::instance().setSink([](int, const std::string&) {});
    return true;
  }();
  (void)quiet;

  FuzzedDataProvider input(data, size);
  const std::string oldText = input.ConsumeRandomLengthString();
  const std::string newText = input.ConsumeBytesAsString(input.remaining_bytes());

  TrackedDeviceData before;
  TrackedDeviceData after;
  const bool oldRead = read(oldText, before);
  const bool newRead = read(newText, after);
  if (oldText.empty() && (!oldRead || !before.bases.empty() || !before.controllers.empty() ||
                          !before.trackers.empty() || before.headset != TrackedDeviceData::TrackedDevice{}))
    std::abort();

  if (!Orvel::describeTrackedDeviceDataChange(oldText, oldText).empty()) std::abort();
  const std::string change = Orvel::describeTrackedDeviceDataChange(oldText, newText);
  // Both sides are described as read, a text that fails keeping what was read
  // before the failure. A headset field of another value shows in the headset part.
  if (before.headset != after.headset && !startsWith(change, "Headset: ")) std::abort();
  return 0;
}
