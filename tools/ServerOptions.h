// The command line of the reference property server.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ipc/PropertiesServicePipe.h"
#include "state/ClientRole.h"

namespace Orvel::Tools {

struct ServerOptions {
  // Ways to break the protocol on purpose, for testing clients.
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

  std::string pipeName = IPC::kPropertiesServicePipe;
  std::vector<std::pair<std::string, std::string>> values;  // key, initial value
  std::vector<std::string> omitted;                         // keys left out of the definitions
  std::vector<std::pair<std::string, std::vector<State::ClientRole>>> writers;  // key, its new writers
  std::vector<std::pair<std::string, std::uint32_t>> floods;  // key, number of updates sent to each new client
  Misbehaviour misbehaviour = Misbehaviour::None;
  bool showPings = false;
  bool help = false;
};

// Reads the arguments after the program name. False with a one-line reason
// in error when an argument is not understood.
bool parseServerOptions(int argc, const char* const argv[], ServerOptions& options, std::string& error);

// The text printed for --help and after an error.
std::string serverUsage();

}  // namespace Orvel::Tools
