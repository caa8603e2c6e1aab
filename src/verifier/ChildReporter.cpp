#include "verifier/ChildReporter.h"

#include <string>

#include "verifier/ChildProtocol.h"

namespace Orvel::Verifier {

using namespace ChildProtocol;

void ChildReporter::callEntered(const PluginCall& call) {
  // An export's check text already reads "call <export>".
  const std::string event = call.kind == PluginCall::Kind::Load ? std::string(kEnter) + std::string(kEnterLoad) + call.text
                                                                : std::string(kEnter) + call.text;
  channel_.writeLine(oneLine(event));
}

void ChildReporter::callLeft(const PluginCall&) { channel_.writeLine(std::string(kLeave)); }

void ChildReporter::checkMade(const Check& check) {
  channel_.writeLine(oneLine(std::string(check.passed() ? kCheckPassed : kCheckFailed) + check.text));
}

}  // namespace Orvel::Verifier
