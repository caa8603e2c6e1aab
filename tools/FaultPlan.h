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

#include "FaultPoint.h"
#include "Misbehaviour.h"
#include "state/PropertyDefinitions.h"

namespace Orvel::Tools {

class ServerSession;

// One client at one point, as a misbehaviour sees it.
struct FaultScene {
  ServerSession& session;
  // Prints a line about this client: "client <number>: " and the event.
  std::function<void(const std::string& event)> print;
  // At the definitions points: the definitions the client gets.
  const State::Messages::PropertyDefinitions* definitions = nullptr;
  // Before the handshake answer: what the line of the handshake ends with.
  std::string handshakeNote;
  // The point, said as a line would: "after the handshake".
  const char* when = "";
};

struct Fault {
  Misbehaviour misbehaviour;
  const char* name;  // as --misbehave takes it
  const char* help;  // its lines in --help, '\n' between them
  FaultPoint point;  // where it acts unless --misbehave-at names another
  unsigned points;   // every point where it can act, one bit each (pointBit)
  // Acts on the client; false when nothing more of the protocol follows
  // at this point.
  bool (*act)(FaultScene& scene);
};

// Every misbehaviour, in the order --help lists them.
const std::vector<Fault>& faultTable();

constexpr unsigned pointBit(FaultPoint point) { return 1u << static_cast<unsigned>(point); }

// The points by the names --misbehave-at takes, in the order a connection
// meets them.
struct NamedFaultPoint {
  FaultPoint point;
  const char* name;
  const char* when;  // as a line says it
};
const std::vector<NamedFaultPoint>& faultPointNames();

class FaultPlan {
 public:
  // point: where the misbehaviour acts, or null for its own point.
  FaultPlan(Misbehaviour misbehaviour, const FaultPoint* point);

  // Lets the misbehaviour act if this is its point. False when the protocol
  // goes no further here for this client.
  bool at(FaultPoint point, FaultScene& scene) const;

 private:
  const Fault* fault_ = nullptr;  // null: the protocol as it should be
  FaultPoint point_ = FaultPoint::Connected;
};

}  // namespace Orvel::Tools
