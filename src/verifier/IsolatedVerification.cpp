// The verification runs in a child process: the parent relays the child's
// report and keeps its view of the run from the channel, so that a child that
// crashes, ends early or misses a deadline still ends the report properly.
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>

#include "platform/ChildProcess.h"
#include "verifier/ChildProtocol.h"
#include "verifier/IsolatedChild.h"
#include "verifier/Isolation.h"
#include "verifier/Modes.h"
#include "verifier/RelayedDetails.h"
#include "verifier/VerificationRun.h"

namespace Orvel::Verifier {

namespace {

using namespace ChildProtocol;

// Applies one channel line to the view; the child's exit status once it says
// its run is over.
std::optional<int> applyEvent(VerificationRun& view, const std::string& line) {
  std::string rest;
  if (startsWith(line, kEnter, rest)) {
    std::string text;
    if (startsWith(rest, kEnterLoad, text)) {
      view.enterRelayed({PluginCall::Kind::Load, text, 0});
    } else {
      view.enterRelayed({PluginCall::Kind::Export, rest, 0});
    }
  } else if (line == kLeave) {
    view.leaveRelayed();
  } else if (startsWith(line, kCheckPassed, rest)) {
    view.recordRelayed({rest, CheckResult::Passed, "", std::chrono::milliseconds(0)});
  } else if (startsWith(line, kCheckFailed, rest)) {
    view.recordRelayed({rest, CheckResult::Failed, "", std::chrono::milliseconds(0)});
  } else if (startsWith(line, kData, rest)) {
    applyDetail(view, rest);
  } else if (startsWith(line, kDone, rest)) {
    try {
      return std::stoi(rest);
    } catch (const std::exception&) {
      return -1;
    }
  }
  return std::nullopt;
}

std::int32_t workflowCalls(Tracking::PluginKind kind) {
  return kind == Tracking::PluginKind::Tracking ? trackingWorkflowCalls() : motionPlatformWorkflowCalls();
}

}  // namespace

Tracking::PluginKind verifiedKind(const std::string& mode) {
  return mode == "verify-motion-platform-plugin" ? Tracking::PluginKind::MotionPlatform
                                                 : Tracking::PluginKind::Tracking;
}

int verifyIsolated(const CommandLine& commandLine, Tracking::PluginKind kind, RunRecord* record) {
  // As in a run in this process: from here on only report lines are written.
  discardLogLines();
  VerificationRun view(kind, commandLine.pluginPath, workflowCalls(kind), commandLine.settings);
  view.keepRecordIn(record);
  IsolatedChild child(commandLine.arguments);
  const std::chrono::milliseconds deadline(commandLine.deadlineMs());
  std::string line;
  for (;;) {
    std::optional<std::chrono::steady_clock::time_point> due;
    if (view.callUnderWay()) due = view.callStarted() + deadline;
    switch (child.next(line, due)) {
      case IsolatedChild::Event::Line:
        if (const std::optional<int> status = applyEvent(view, line)) {
          child.finish(false);
          return *status;
        }
        break;
      case IsolatedChild::Event::Late: {
        child.finish(true);
        const std::string cause = "no return within " + std::to_string(deadline.count()) + " ms";
        return view.end(CheckResult::TimedOut, cause).value_or(-1);
      }
      case IsolatedChild::Event::Ended: {
        const platform::ChildEnd end = child.finish(false);
        if (end.kind == platform::ChildEnd::Kind::Crashed) {
          return view.end(CheckResult::Crashed, "the plugin crashed: " + platform::describeCrash(end.code)).value_or(-1);
        }
        return view
            .end(CheckResult::EndedProcess, "the plugin ended the process (exit status " + std::to_string(end.code) + ")")
            .value_or(-1);
      }
    }
  }
}

}  // namespace Orvel::Verifier
