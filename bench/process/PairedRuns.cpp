#include "PairedRuns.h"

#include <stdexcept>

namespace Orvel::Bench {

namespace {

std::size_t occurrences(const std::string& text, const std::string& part) {
  std::size_t found = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++found;
  return found;
}

std::string tail(const std::string& text) {
  constexpr std::size_t kShown = 2000;
  return text.size() <= kShown ? text : "..." + text.substr(text.size() - kShown);
}

void record(const ProcessResult& result, Samples& ms, Samples& mib) {
  ms.add(result.wallMs);
  mib.add(result.maxRssMiB);
}

}  // namespace

ProcessResult runChecked(const Command& command, const Expectation& expectation) {
  ProcessResult result = runProcess(command);
  std::string problem;
  if (!result.exited) {
    problem = "ended by a signal";
  } else if (result.exitStatus != expectation.exitStatus) {
    problem = "exit status " + std::to_string(result.exitStatus) + ", expected " +
              std::to_string(expectation.exitStatus);
  } else if (!expectation.text.empty() && occurrences(result.out, expectation.text) < expectation.times) {
    problem = "standard output holds \"" + expectation.text + "\" " +
              std::to_string(occurrences(result.out, expectation.text)) + " times, expected at least " +
              std::to_string(expectation.times);
  }
  if (!problem.empty()) {
    throw std::runtime_error(describe(command) + ": " + problem + "\n--- standard output:\n" + tail(result.out) +
                             "\n--- standard error:\n" + tail(result.err));
  }
  return result;
}

PairedResult PairedRuns::run(int pairs) const {
  runChecked(program_, programExpects_);
  runChecked(reference_, referenceExpects_);
  PairedResult result;
  for (int pair = 0; pair < pairs; ++pair) {
    if (pair % 2 == 0) {
      record(runChecked(program_, programExpects_), result.programMs, result.programMiB);
      record(runChecked(reference_, referenceExpects_), result.referenceMs, result.referenceMiB);
    } else {
      record(runChecked(reference_, referenceExpects_), result.referenceMs, result.referenceMiB);
      record(runChecked(program_, programExpects_), result.programMs, result.programMiB);
    }
  }
  return result;
}

}  // namespace Orvel::Bench
