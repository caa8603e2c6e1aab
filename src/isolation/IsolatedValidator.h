// The listing's validation of libraries in an isolated child, both ends: a
// library's crash, early end or silence cannot take the listing down.
#pragma once
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "isolation/IsolatedChild.h"
#include "platform/ChildProcess.h"
#include "tracking/LibraryValidation.h"
#include "tracking/PluginDiscovery.h"
#include "tracking/PluginManifest.h"

namespace Orvel::Verifier {

// The child's side: validates the library of each path (one UTF-8 line each
// on standard input) until the input ends, and tells the parent the problems,
// the kind and the validity on the channel; with `explain`, also the
// explanation of each library. With `asTracking`, each library is validated
// as a tracking plugin whatever its kind (validateTrackingLibrary). Returns 0.
int serveValidations(platform::ParentChannel& channel, bool explain, bool asTracking = false);

// The parent's side: one child serves many libraries; after a crash, an early
// end or a missed deadline the next library gets a new child. The libraries
// asked for are sent ahead of their answers, so that the child goes from one
// to the next without waiting for this process.
class IsolatedValidator {
 public:
  IsolatedValidator(std::vector<std::string> arguments, std::uint32_t deadlineMs);
  ~IsolatedValidator();
  IsolatedValidator(const IsolatedValidator&) = delete;
  IsolatedValidator& operator=(const IsolatedValidator&) = delete;

  // Queues the library at `path` for validation.
  void ask(const std::string& path);
  // The answer for the first library asked for and not answered yet (there
  // must be one). The problems found are handed to `discovery`'s error
  // handler, in order; the explanation, when the child gives one, is the
  // answer's `why`. The deadline applies to this library alone, from when
  // this is called or, for a new child, from when the child is ready.
  Tracking::LibraryValidation answer(const Tracking::PluginDiscovery& discovery);

 private:
  // Sends the child queued libraries while few enough wait unread.
  void sendQueued();
  // Takes the first library off the queue, answered or failed.
  void retire();
  // The failure of the first library when the child ended, was late or
  // broke its channel (`event`).
  std::string endChild(IsolatedChild::Event event);

  const std::vector<std::string> arguments_;
  const std::chrono::milliseconds deadline_;
  std::unique_ptr<IsolatedChild> child_;
  // Paths asked for and not answered, in order, each on one line.
  std::deque<std::string> queued_;
  // How many at the front of queued_ the current child was sent, and their bytes.
  std::size_t sent_ = 0;
  std::size_t sentBytes_ = 0;
  // How many libraries the current child has answered.
  std::size_t answers_ = 0;
  // The current child said it is ready.
  bool childReady_ = false;
};

}  // namespace Orvel::Verifier
