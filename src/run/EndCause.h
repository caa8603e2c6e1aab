// The cause written on the check of a plugin that ended its process: a crash
// or an exit at the call under way, or after the run when no call was under
// way. Isolated or not, a run words it the same.
#pragma once
#include <cstdint>
#include <string>

namespace Orvel::Verifier {

// "the plugin crashed: signal 11 (SIGSEGV)", "the plugin crashed after the run: ..."
std::string crashCause(std::int64_t code, bool callUnderWay);
// "the plugin ended the process (exit status 0)", "... after the run (exit status 0)"
std::string exitCause(std::int64_t status, bool callUnderWay);

}  // namespace Orvel::Verifier
