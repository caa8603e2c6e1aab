// The named points of one connection at which the reference server's
// misbehaviours act, in the order a connection meets them.
#pragma once

namespace Orvel::Tools {

enum class FaultPoint {
  Connected,              // before the first frame is sent
  BeforeHandshakeAnswer,  // the client's handshake has come, unanswered yet
  AfterHandshakeAnswer,   // the answer is sent, the role request is not
  BeforeDefinitions,      // the client has stated its role
  AfterDefinitions,       // the definitions are sent, and a flood of updates after them
};

}  // namespace Orvel::Tools
