// The verification runs in a child process: the parent relays the child's
// report and keeps its view of the run from the channel, so that a child that
// crashes, ends early or misses a deadline still ends the report properly.
// The parent counts the checks itself; the run passes only when the child
// also really ended, normally, with the status that count gives.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>

#include "isolation/ChildProtocol.h"
#include "isolation/IsolatedChild.h"
#include "isolation/Isolation.h"
#include "isolation/RelayedDetails.h"
#include "platform/ChildProcess.h"
#include "platform/ExitStatus.h"
#include "run/VerificationRun.h"
#include "run/EndCause.h"
#include "run/Verifications.h"

namespace Orvel::Verifier {

namespace {

using namespace ChildProtocol;
using Clock = std::chrono::steady_clock;

// What the trip of a call's lines from the child to this process may add to
// the deadline: a call is judged by the child's clock, and killed by this
// process only when it has not returned by then.
constexpr std::chrono::milliseconds kRoundTripAllowance(1000);
// Between calls the child runs the verifier's own code, and before the first
// one it starts: it is given at least this long from its last line.
constexpr std::chrono::milliseconds kShortestQuietLimit(10000);

// What a channel line did to the view.
enum class Applied {
  Applied,
  Done,        // the child says its run is over; `status` holds its status
  Late,        // a call returned after the deadline, by the child's clock
  NotAllowed,  // no line of the protocol, or none allowed now
};

// Applies one channel line to the view.
Applied applyEvent(VerificationRun& view, const std::string& line, bool done, std::chrono::nanoseconds deadline,
                   int& status) {
  std::string rest;
  // After the run only what a plugin thread's late host line brings is allowed.
  if (startsWith(line, kData, rest)) {
    applyDetail(view, rest);
    return Applied::Applied;
  }
  if (done) return Applied::NotAllowed;
  try {
    if (startsWith(line, kEnter, rest)) {
      if (view.callUnderWay()) return Applied::NotAllowed;
      std::string text;
      if (startsWith(rest, kEnterLoad, text)) {
        view.enterRelayed({PluginCall::Kind::Load, text, 0});
      } else if (startsWith(rest, kEnterCall, text)) {
        view.enterRelayed({PluginCall::Kind::Export, rest, 0});
      } else {
        return Applied::NotAllowed;
      }
    } else if (startsWith(line, kLeave, rest)) {
      if (!view.callUnderWay()) return Applied::NotAllowed;
      if (deadline.count() != 0 && std::chrono::nanoseconds(std::stoll(rest)) > deadline) return Applied::Late;
      view.leaveRelayed();
    } else if (startsWith(line, kCheckPassed, rest)) {
      view.recordRelayed({rest, CheckResult::Passed, "", std::chrono::milliseconds(0)});
    } else if (startsWith(line, kCheckFailed, rest)) {
      view.recordRelayed({rest, CheckResult::Failed, "", std::chrono::milliseconds(0)});
    } else if (startsWith(line, kDone, rest)) {
      status = std::stoi(rest);
      return Applied::Done;
    } else {
      return Applied::NotAllowed;
    }
  } catch (const std::exception&) {
    return Applied::NotAllowed;
  }
  return Applied::Applied;
}

std::int32_t workflowCalls(Tracking::PluginKind kind) {
  return kind == Tracking::PluginKind::Tracking ? trackingWorkflowCalls() : motionPlatformWorkflowCalls();
}

// Whether the child ended normally with the status it announced, as the
// system keeps an exit status (8 bits on Linux, read back with its sign).
bool endedWith(const platform::ChildEnd& end, int announced) {
  if (end.kind != platform::ChildEnd::Kind::Exited) return false;
  const int kept = platform::processExitStatus(announced);
  return end.code == announced || end.code == kept || end.code == static_cast<std::int8_t>(kept);
}

}  // namespace

int verifyIsolated(const IsolatedRun& request, Tracking::PluginKind kind, RunRecord* record) {
  // As in a run in this process: from here on only report lines are written.
  discardLogLines();
  VerificationRun view(kind, request.pluginPath, workflowCalls(kind), request.settings);
  view.keepRecordIn(record);
  IsolatedChild child(request.arguments);
  const std::chrono::milliseconds deadline(request.deadlineMs);
  const std::string late = "no return within " + std::to_string(deadline.count()) + " ms";
  // Between calls, and after the run, the child is given as long as a call
  // from its last line on: a process that a library's unloading or a plugin
  // thread holds still ends.
  Clock::time_point lastLine = Clock::now();
  std::optional<int> announced;
  std::string line;
  const std::chrono::milliseconds quietLimit = std::max(deadline + kRoundTripAllowance, kShortestQuietLimit);
  for (;;) {
    const Clock::time_point due = view.callUnderWay() ? view.callStarted() + deadline + kRoundTripAllowance
                                                      : lastLine + quietLimit;
    switch (child.next(line, due)) {
      case IsolatedChild::Event::Line: {
        lastLine = Clock::now();
        int status = 0;
        switch (applyEvent(view, line, announced.has_value(), deadline, status)) {
          case Applied::Applied: break;
          case Applied::Done: announced = status; break;
          case Applied::Late:
            child.finish(true);
            return view.end(CheckResult::TimedOut, late).value_or(-1);
          case Applied::NotAllowed:
            child.finish(true);
            return view.end(CheckResult::Failed, "the channel carried a line the protocol does not allow")
                .value_or(-1);
        }
        break;
      }
      case IsolatedChild::Event::Late: {
        std::string cause = late;
        if (!view.callUnderWay()) {
          // Every planned check made: the run is over, though the child has
          // not said so yet (it unloads the library first).
          const bool over = announced || view.passedCount() + view.failedCount() >= view.plannedTotal();
          const std::string quiet = std::to_string(quietLimit.count()) + " ms";
          cause = over ? "the process did not end within " + quiet + " after the run"
                       : "the run stood still for " + quiet + " between plugin calls";
        }
        child.finish(true);
        return view.end(CheckResult::TimedOut, cause).value_or(-1);
      }
      case IsolatedChild::Event::Stray:
        child.finish(true);
        return view.end(CheckResult::Failed, "the channel carried a line without the run's token").value_or(-1);
      case IsolatedChild::Event::Broken:
        child.finish(true);
        return view.end(CheckResult::Failed, "the channel ended while the plugin's process ran").value_or(-1);
      case IsolatedChild::Event::Ended: {
        const platform::ChildEnd end = child.finish(false);
        const std::int32_t counted = view.failedCount();
        // A run that the child aborted (an exception it reported) keeps its -1.
        if (announced && endedWith(end, *announced) && (*announced == counted || *announced == -1)) return *announced;
        const bool callUnderWay = view.callUnderWay().has_value();
        const CheckResult result =
            end.kind == platform::ChildEnd::Kind::Crashed ? CheckResult::Crashed : CheckResult::EndedProcess;
        const std::string cause = end.kind == platform::ChildEnd::Kind::Crashed ? crashCause(end.code, callUnderWay)
                                                                               : exitCause(end.code, callUnderWay);
        return view.end(result, cause).value_or(-1);
      }
    }
  }
}

}  // namespace Orvel::Verifier
