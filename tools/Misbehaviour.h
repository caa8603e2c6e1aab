// The ways the reference server can break the protocol on purpose, to test
// clients; what each does is in FaultPlan.
#pragma once

namespace Orvel::Tools {

enum class Misbehaviour {
  None,
  GarbageBeforeHandshake,  // bytes that are no frame come before ResponseHandshake
  NoHandshakeResponse,     // RequestHandshake is never answered
  CloseAfterHandshake,     // the connection is closed right after ResponseHandshake
  ExitMidFrame,            // after the definitions, half a frame, then the process ends at once
  StopReading,             // after the handshake, nothing more the client sends is read
  GarbageBetweenFrames,    // bytes that are no frame, and a frame too short to be one, before every frame
  OversizedFrames,         // before the definitions, a frame too long to accept, with frames inside
};

}  // namespace Orvel::Tools
