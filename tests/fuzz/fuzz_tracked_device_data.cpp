// Reading the tracked-device list and describing a change of it. The input
// is split into an old and a new value text (an old text alone is compared
// with itself). Checks that reading and describing never crash, that the
// empty text reads as the default list, that a text compared with itself or
// two texts that read to equal lists describe no change, and that a
// description starts with "Headset: " exactly when a field of the headset
// differs.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzTarget.h"
#include "state/TrackedDeviceData.h"

namespace {

using Orvel::Fuzz::check;
using Orvel::Fuzz::startsWith;
using Orvel::TrackedDeviceData;

bool read(const std::string& text, TrackedDeviceData& data) { return strutil::TryParse<TrackedDeviceData>{}(text, data); }

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
  const bool sameHeadset = before.headset == after.headset;
  check(startsWith(change, "Headset: ") == !sameHeadset, "the headset part is there exactly when the headset differs");
  if (sameHeadset && before.bases == after.bases && before.controllers == after.controllers &&
      before.trackers == after.trackers)
    check(change.empty(), "equal lists describe no change");
  return 0;
}
