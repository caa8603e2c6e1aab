// The command line of the reference property server.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "FaultPoint.h"
#include "Misbehaviour.h"
#include "ipc/PropertiesServicePipe.h"
#include "state/ClientRole.h"

namespace Orvel::Tools {

struct ServerOptions {
  // Ways to break the protocol on purpose, for testing clients.
  using Misbehaviour = Tools::Misbehaviour;

  std::string pipeName = IPC::kPropertiesServicePipe;
  std::vector<std::pair<std::string, std::string>> values;  // key, initial value
  std::vector<std::string> omitted;                         // keys left out of the definitions
  std::vector<std::pair<std::string, std::vector<State::ClientRole>>> writers;  // key, its new writers
  std::vector<std::pair<std::string, std::uint32_t>> floods;  // key, number of updates sent to each new client
  Misbehaviour misbehaviour = Misbehaviour::None;
  std::optional<FaultPoint> misbehaviourPoint;  // where it acts; unset: its own point
  bool showPings = false;
  bool help = false;
};

// Reads the arguments after the program name, each by its row of the one
// option table that also writes --help. False with a one-line reason in
// error when an argument is not understood.
bool parseServerOptions(int argc, const char* const argv[], ServerOptions& options, std::string& error);

// The text printed for --help and after an error, from the option table and
// the table of misbehaviours.
std::string serverUsage();

}  // namespace Orvel::Tools
