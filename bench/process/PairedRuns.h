// A program and its bare reference, run alternately so that drift of the
// shared machine falls on both alike. Every run's exit status and output are
// checked: a run that did not do its work never counts as a fast one.
#pragma once
#include <string>

#include "ProcessRun.h"
#include "Samples.h"

namespace Orvel::Bench {

struct Expectation {
  int exitStatus = 0;        // as the shell sees it, 0..255
  std::string text;          // must occur in standard output (empty: anything)
  std::size_t times = 1;     // ... at least this often
};

struct PairedResult {
  Samples programMs;
  Samples referenceMs;
  Samples programMiB;
  Samples referenceMiB;
};

class PairedRuns {
 public:
  PairedRuns(Command program, Expectation programExpects, Command reference, Expectation referenceExpects)
      : program_(std::move(program)),
        programExpects_(std::move(programExpects)),
        reference_(std::move(reference)),
        referenceExpects_(std::move(referenceExpects)) {}

  // One unmeasured run of each (caches, page faults of the first start),
  // then `pairs` measured runs of each, the order swapped every pair. Throws
  // std::runtime_error, with the run's output, when a run fails its check.
  PairedResult run(int pairs) const;

 private:
  const Command program_;
  const Expectation programExpects_;
  const Command reference_;
  const Expectation referenceExpects_;
};

// Runs the command once and checks it; the result when it passed.
ProcessResult runChecked(const Command& command, const Expectation& expectation);

}  // namespace Orvel::Bench
