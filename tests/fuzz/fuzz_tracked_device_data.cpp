// Reading the tracked-device list and describing a change of it. The input
// is split into an old and a new value text (an old text alone is compared
// with itself). Checks that reading and describing never crash, that the
// empty text reads as the default list, that a text compared with itself or
// two texts that read to lists equal as a description shows them describe no
// change, and that a description starts with "Headset: " exactly when a field
// of the headset, as shown, differs.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "FuzzTarget.h"
#include "state/TrackedDeviceData.h"

namespace {

using Orvel::Fuzz::check;
using Orvel::Fuzz::startsWith;
using Orvel::TrackedDeviceData;
using ConnectionStatus = TrackedDeviceData::ConnectionStatus;
using TrackedDevice = TrackedDeviceData::TrackedDevice;

bool read(const std::string& text, TrackedDeviceData& data) { return strutil::TryParse<TrackedDeviceData>{}(text, data); }

// Whether two devices look the same in a description. A description shows a
// connection status by its name, an unknown number as "Disconnected", and a
// battery level by its text, which tells 0 from -0 (equal numbers) and shows
// every NaN alike (numbers equal to nothing).
bool sameAsShown(TrackedDevice a, TrackedDevice b) {
  const auto shownStatus = [](TrackedDevice& device) {
    const auto status = static_cast<std::int32_t>(device.connectionStatus);
    if (status < 0 || status > static_cast<std::int32_t>(ConnectionStatus::Starting)) {
      device.connectionStatus = ConnectionStatus::Disconnected;
    }
  };
  shownStatus(a);
  shownStatus(b);
  if (fmt::format("{}", a.batteryLevel) != fmt::format("{}", b.batteryLevel)) return false;
  a.batteryLevel = b.batteryLevel = 0;
  return a == b;
}

bool sameAsShown(const std::vector<TrackedDevice>& a, const std::vector<TrackedDevice>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](const TrackedDevice& x, const TrackedDevice& y) { return sameAsShown(x, y); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Orvel::Fuzz::silenceLogs();

  FuzzedDataProvider input(data, size);
  const std::string oldText = input.ConsumeRandomLengthString();
  // Nothing after the old text: the old text is compared with itself.
  const bool itself = input.remaining_bytes() == 0;
  const std::string newText = itself ? oldText : input.ConsumeBytesAsString(input.remaining_bytes());

  TrackedDeviceData before;
  const bool oldRead = read(oldText, before);
  check(!oldText.empty() || (oldRead && before.bases.empty() && before.controllers.empty() &&
                             before.trackers.empty() && before.headset == TrackedDeviceData::TrackedDevice{}),
        "the empty text reads as the default list");
  TrackedDeviceData after;
  if (itself) {
    after = before;
  } else {
    read(newText, after);
  }

  // Both sides are described as read, a text that fails keeping what was read
  // before the failure: the description of the two texts is that of the two
  // lists as read here, which spares reading each text a second time.
  const std::string change = Orvel::describeTrackedDeviceDataChange(before, after);
  if (itself) check(change.empty(), "a text compared with itself describes no change");
  const bool sameHeadset = sameAsShown(before.headset, after.headset);
  check(startsWith(change, "Headset: ") == !sameHeadset, "the headset part is there exactly when the headset differs");
  if (sameHeadset && sameAsShown(before.bases, after.bases) && sameAsShown(before.controllers, after.controllers) &&
      sameAsShown(before.trackers, after.trackers))
    check(change.empty(), "equal lists describe no change");
  return 0;
}
