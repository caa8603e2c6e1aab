#include "FaultPlan.h"

#include <cstddef>
#include <cstdint>
#include <utility>

#include "ServerSession.h"
#include "state/PropertyUpdateToClient.h"

namespace Orvel::Tools {

namespace {

using State::ClientRole;

// Bytes that hold no frame signature, sent to test a client's recovery.
const std::string kGarbage = "GARBAGE BYTES, NOT A FRAME!\n";

// The property whose value the misbehaviours carry.
const std::string kActivePlugin = "OrvelTracking.ActivePlugin";

// oversized-frames: the length of the value that makes the frame too long to
// accept (a receiver takes 16 MiB at most), and the value that the frames
// inside it give the active plugin.
constexpr std::size_t kTooLongValueBytes = 17u * 1024u * 1024u;
const std::string kSmuggledValue = "plugin:smuggled inside a frame too long to accept";

State::Messages::PropertyUpdateToClient serverUpdate(const std::string& value) {
  State::Messages::PropertyUpdateToClient update;
  update.key = kActivePlugin;
  update.value = value;
  update.writer = ClientRole::PROPERTY_SERVER;
  return update;
}

bool garbageBeforeHandshake(FaultScene& scene) {
  scene.handshakeNote = " answered after " + std::to_string(kGarbage.size()) + " bytes of garbage";
  scene.session.sendRaw(std::vector<std::uint8_t>(kGarbage.begin(), kGarbage.end()));
  return true;
}

bool noHandshake(FaultScene& scene) {
  scene.handshakeNote = " left unanswered";
  return false;
}

bool closeAfterHandshake(FaultScene& scene) {
  scene.print(std::string("closing the connection ") + scene.when);
  scene.session.closeWhenSent();
  return false;
}

bool exitMidFrame(FaultScene& scene) {
  std::vector<std::uint8_t> frame = scene.session.encode(serverUpdate("a value that never arrives whole"));
  const std::size_t total = frame.size();
  frame.resize(total / 2);
  scene.print("ending the process after " + std::to_string(frame.size()) + " of the " + std::to_string(total) +
              " bytes of a frame");
  scene.session.exitWhenSent(std::move(frame));
  return false;
}

bool stopReading(FaultScene& scene) {
  scene.print("reading nothing more");
  scene.session.stopReading();
  return true;
}

// Garbage, then the header of a frame whose length (5) is below the
// smallest frame.
bool garbageBetweenFrames(FaultScene& scene) {
  std::vector<std::uint8_t> bytes(kGarbage.begin(), kGarbage.end());
  const std::vector<std::uint8_t> shortFrame = {5, 0, 0, 0, 'o', 'r', 'v', 'e'};
  bytes.insert(bytes.end(), shortFrame.begin(), shortFrame.end());
  scene.session.setFramePrefix(std::move(bytes));
  return true;
}

bool oversizedFrames(FaultScene& scene) {
  // Whole frames of definitions and of an update that both give the active
  // plugin another value...
  State::Messages::PropertyDefinitions definitions = *scene.definitions;
  const auto active = definitions.definitions.find(kActivePlugin);
  if (active != definitions.definitions.end()) active->second.defaultValue = kSmuggledValue;
  std::vector<std::uint8_t> inside = scene.session.encode(definitions);
  const std::vector<std::uint8_t> update = scene.session.encode(serverUpdate(kSmuggledValue));
  inside.insert(inside.end(), update.begin(), update.end());
  // ...carried as the start of one long text value, as any client could
  // write one, in a frame that is well-formed but too long for a receiver.
  State::Messages::PropertyUpdateToClient carrier = serverUpdate(std::string(inside.begin(), inside.end()));
  carrier.value.resize(kTooLongValueBytes, 'x');
  std::vector<std::uint8_t> frame = scene.session.encode(carrier);
  scene.print("frame of " + std::to_string(frame.size()) +
              " bytes sent, too long to accept, with frames of definitions and an update inside");
  scene.session.sendRaw(std::move(frame));
  return true;
}

// What acts the same wherever it is called.
constexpr unsigned kAnyPoint = pointBit(FaultPoint::Connected) | pointBit(FaultPoint::BeforeHandshakeAnswer) |
                               pointBit(FaultPoint::AfterHandshakeAnswer) | pointBit(FaultPoint::BeforeDefinitions) |
                               pointBit(FaultPoint::AfterDefinitions);
// What needs the definitions.
constexpr unsigned kDefinitionPoints = pointBit(FaultPoint::BeforeDefinitions) | pointBit(FaultPoint::AfterDefinitions);

}  // namespace

const std::vector<Fault>& faultTable() {
  static const std::vector<Fault> table = {
      {Misbehaviour::GarbageBeforeHandshake, "garbage-before-handshake",
       "send bytes that are no frame before the handshake answer", FaultPoint::BeforeHandshakeAnswer,
       pointBit(FaultPoint::BeforeHandshakeAnswer), garbageBeforeHandshake},
      {Misbehaviour::NoHandshakeResponse, "no-handshake", "never answer the handshake",
       FaultPoint::BeforeHandshakeAnswer, pointBit(FaultPoint::BeforeHandshakeAnswer), noHandshake},
      {Misbehaviour::CloseAfterHandshake, "close-after-handshake",
       "close each connection right after the handshake answer", FaultPoint::AfterHandshakeAnswer, kAnyPoint,
       closeAfterHandshake},
      {Misbehaviour::ExitMidFrame, "exit-mid-frame", "after the definitions, send half a frame and end at once",
       FaultPoint::AfterDefinitions, kAnyPoint, exitMidFrame},
      {Misbehaviour::StopReading, "stop-reading", "after the handshake, read nothing more from the client",
       FaultPoint::AfterHandshakeAnswer, kAnyPoint, stopReading},
      {Misbehaviour::GarbageBetweenFrames, "garbage-between-frames",
       "send bytes that are no frame, and a frame too short to be\none, before every frame", FaultPoint::Connected,
       kAnyPoint, garbageBetweenFrames},
      {Misbehaviour::OversizedFrames, "oversized-frames",
       "before the definitions, send a frame too long to accept\n(17 MiB) that holds frames of definitions and an "
       "update",
       FaultPoint::BeforeDefinitions, kDefinitionPoints, oversizedFrames},
  };
  return table;
}

const std::vector<NamedFaultPoint>& faultPointNames() {
  static const std::vector<NamedFaultPoint> names = {
      {FaultPoint::Connected, "connected", "once connected"},
      {FaultPoint::BeforeHandshakeAnswer, "before-handshake-answer", "before the handshake answer"},
      {FaultPoint::AfterHandshakeAnswer, "after-handshake-answer", "after the handshake"},
      {FaultPoint::BeforeDefinitions, "before-definitions", "before the definitions"},
      {FaultPoint::AfterDefinitions, "after-definitions", "after the definitions"},
  };
  return names;
}

FaultPlan::FaultPlan(Misbehaviour misbehaviour, const FaultPoint* point) {
  for (const Fault& fault : faultTable()) {
    if (fault.misbehaviour == misbehaviour) fault_ = &fault;
  }
  if (fault_ != nullptr) point_ = point != nullptr ? *point : fault_->point;
}

bool FaultPlan::at(FaultPoint point, FaultScene& scene) const {
  if (fault_ == nullptr || point_ != point) return true;
  for (const NamedFaultPoint& named : faultPointNames()) {
    if (named.point == point) scene.when = named.when;
  }
  return fault_->act(scene);
}

}  // namespace Orvel::Tools
