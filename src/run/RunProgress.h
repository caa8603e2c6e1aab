// The progress line's part for one verification run: which workflow run of
// how many goes, and how far the latency burst is ("workflow run 1 of 3,
// latency 512 of 1000 calls"). A run whose report text the thread collects
// for later (one of several at once) shows none.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace Orvel::Verifier {

class RunProgress {
 public:
  explicit RunProgress(std::uint32_t workflowRuns) : workflowRuns_(workflowRuns) {}

  // Workflow run `run` (from 1) begins.
  void workflow(std::uint32_t run);
  // The latency burst made `call` of its `calls` calls.
  void latency(std::size_t call, std::size_t calls);
  // A call that an isolated child entered ("call orvel_PluginInit"): each
  // orvel_PluginInit begins the next workflow run. Within a workflow run
  // every call is checked before the next one, except those of the latency
  // burst: calls entered one after another make it.
  void relayedCall(const std::string& text);
  // A check that an isolated child made.
  void relayedCheck() { uncheckedCalls_ = 0; }

 private:
  void show(const std::string& step) const;

  const std::uint32_t workflowRuns_;
  std::uint32_t workflowRun_ = 0;
  // Calls the child entered since its last check.
  std::size_t uncheckedCalls_ = 0;
};

}  // namespace Orvel::Verifier
