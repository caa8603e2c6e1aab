// The reference server's misbehaviours, which break the protocol on purpose to
// test clients: one table of them (the name --misbehave takes, the lines
// --help shows, where and how each acts), and the plan that the server calls
// at the named points of every connection, so that the server itself holds
// protocol code only.
//
// Threads: the plan is read-only once made; the server calls it on a
// client's receiver thread (or, for Connected, on the accepting thread)
// with its lock held.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "Misbehaviour.h"
#include "state/PropertyDefinitions.h"

namespace Orvel::Tools {

class ServerSession;

// The named points of one connection, in the order it meets them.
enum class FaultPoint {
  Connected,              // before the first frame is sent
  BeforeHandshakeAnswer,  // the client's handshake has come, unanswered yet
  AfterHandshakeAnswer,   // the answer is sent, the role request is not
  BeforeDefinitions,      // the client has stated its role
  AfterDefinitions,       // the definitions are sent, and a flood of updates after them
};

// One client at one point, as a misbehaviour sees it.
struct FaultScene {
  ServerSession& session;
  // Prints a line about this client: "client <number>: " and the event.
  std::function<void(const std::string& event)> print;
  // At the definitions points: the definitions the client gets.
  const State::Messages::PropertyDefinitions* definitions = nullptr;
  // Before the handshake answer: what the line of the handshake ends with.
  std::string handshakeNote;
};

struct Fault {
  Misbehaviour misbehaviour;
  const char* name;  // as --misbehave takes it
  const char* help;  // its lines in --help, '\n' between them
  FaultPoint point;  // where it acts
  // Acts on the client; false when nothing more of the protocol follows
  // at this point.
  bool (*act)(FaultScene& scene);
};

// Every misbehaviour, in the order --help lists them.
const std::vector<Fault>& faultTable();

class FaultPlan {
 public:
  explicit FaultPlan(Misbehaviour misbehaviour);

  // Lets the misbehaviour act if this is its point. False when the protocol
  // goes no further here for this client.
  bool at(FaultPoint point, FaultScene& scene) const;

 private:
  const Fault* fault_ = nullptr;  // null: the protocol as it should be
};

}  // namespace Orvel::Tools
