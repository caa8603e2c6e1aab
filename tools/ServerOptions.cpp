#include "ServerOptions.h"

#include <cstdint>
#include <sstream>

namespace Orvel::Tools {

namespace {

using State::ClientRole;

constexpr std::uint32_t kLastRole = static_cast<std::uint32_t>(ClientRole::UNKNOWN);

// A role by its name ("TRACKING") or its number ("3").
bool parseRole(const std::string& text, ClientRole& role) {
  for (std::uint32_t value = 0; value <= kLastRole; ++value) {
    if (State::clientRoleToString(static_cast<ClientRole>(value)) == text) {
      role = static_cast<ClientRole>(value);
      return true;
    }
  }
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 2) return false;
  const auto value = static_cast<std::uint32_t>(std::stoul(text));
  if (value > kLastRole) return false;
  role = static_cast<ClientRole>(value);
  return true;
}

// "ROLE,ROLE,..."; the empty text is the empty list.
bool parseRoles(const std::string& text, std::vector<ClientRole>& roles) {
  roles.clear();
  if (text.empty()) return true;
  std::istringstream items(text);
  std::string item;
  while (std::getline(items, item, ',')) {
    ClientRole role{};
    if (!parseRole(item, role)) return false;
    roles.push_back(role);
  }
  return !text.empty() && text.back() != ',';
}

// A decimal number from 1 to 100000000.
bool parseCount(const std::string& text, std::uint32_t& count) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  const unsigned long value = std::stoul(text);
  if (value < 1 || value > 100000000) return false;
  count = static_cast<std::uint32_t>(value);
  return true;
}

// Splits "key=value" at its first "=".
bool splitAssignment(const std::string& text, std::string& key, std::string& value) {
  const auto equals = text.find('=');
  if (equals == std::string::npos || equals == 0) return false;
  key = text.substr(0, equals);
  value = text.substr(equals + 1);
  return true;
}

}  // namespace

bool parseServerOptions(int argc, const char* const argv[], ServerOptions& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    const auto equals = argument.find('=');
    const std::string name = argument.substr(0, equals);
    const std::string value = equals == std::string::npos ? std::string() : argument.substr(equals + 1);
    const bool hasValue = equals != std::string::npos;
    std::string key;
    std::string text;
    if (argument == "--help") {
      options.help = true;
    } else if (argument == "--show-pings") {
      options.showPings = true;
    } else if (name == "--pipe" && hasValue && !value.empty()) {
      options.pipeName = value;
    } else if (name == "--set" && hasValue && splitAssignment(value, key, text)) {
      options.values.emplace_back(key, text);
    } else if (name == "--omit" && hasValue && !value.empty()) {
      options.omitted.push_back(value);
    } else if (name == "--writers" && hasValue && splitAssignment(value, key, text)) {
      std::vector<ClientRole> roles;
      if (!parseRoles(text, roles)) {
        error = "Unknown client role in: " + argument;
        return false;
      }
      options.writers.emplace_back(key, roles);
    } else if (name == "--flood" && hasValue && splitAssignment(value, key, text)) {
      std::uint32_t count = 0;
      if (!parseCount(text, count)) {
        error = "Not a number of updates from 1 to 100000000 in: " + argument;
        return false;
      }
      options.floods.emplace_back(key, count);
    } else if (name == "--misbehave" && hasValue) {
      if (value == "garbage-before-handshake") {
        options.misbehaviour = ServerOptions::Misbehaviour::GarbageBeforeHandshake;
      } else if (value == "no-handshake") {
        options.misbehaviour = ServerOptions::Misbehaviour::NoHandshakeResponse;
      } else if (value == "close-after-handshake") {
        options.misbehaviour = ServerOptions::Misbehaviour::CloseAfterHandshake;
      } else if (value == "exit-mid-frame") {
        options.misbehaviour = ServerOptions::Misbehaviour::ExitMidFrame;
      } else if (value == "stop-reading") {
        options.misbehaviour = ServerOptions::Misbehaviour::StopReading;
      } else if (value == "garbage-between-frames") {
        options.misbehaviour = ServerOptions::Misbehaviour::GarbageBetweenFrames;
      } else if (value == "oversized-frames") {
        options.misbehaviour = ServerOptions::Misbehaviour::OversizedFrames;
      } else {
        error = "Unknown misbehaviour: " + argument;
        return false;
      }
    } else {
      error = "Unknown or incomplete argument: " + argument;
      return false;
    }
  }
  return true;
}

std::string serverUsage() {
  return "Usage: OrvelPropertyServer [options]\n"
         "Serves the runtime's properties on the property pipe until it is stopped (Ctrl+C).\n"
         "Prints one line per client event and per property change.\n"
         "\n"
         "  --pipe=<name>                 pipe name (default " ORVEL_PROPERTIES_SERVICE_PIPE ")\n"
         "  --set=<key>=<value>           initial value of a property (repeatable)\n"
         "  --omit=<key>                  leave a property out of the definitions (repeatable)\n"
         "  --writers=<key>=<role>,...    replace a property's writers; roles by name or number,\n"
         "                                nothing after the second '=' for no writers (repeatable)\n"
         "  --flood=<key>=<count>         send each client, once it has the definitions, <count>\n"
         "                                updates of the property, values 1 to <count>, the last\n"
         "                                kept as its value; several keys take turns (repeatable)\n"
         "  --show-pings                  print a line for every ping\n"
         "  --misbehave=<how>             break the protocol on purpose, for testing clients:\n"
         "      garbage-before-handshake  send bytes that are no frame before the handshake answer\n"
         "      no-handshake              never answer the handshake\n"
         "      close-after-handshake     close each connection right after the handshake answer\n"
         "      exit-mid-frame            after the definitions, send half a frame and end at once\n"
         "      stop-reading              after the handshake, read nothing more from the client\n"
         "      garbage-between-frames    send bytes that are no frame, and a frame too short to be\n"
         "                                one, before every frame\n"
         "      oversized-frames          before the definitions, send a frame too long to accept\n"
         "                                (17 MiB) that holds frames of definitions and an update\n"
         "  --help                        this text\n";
}

}  // namespace Orvel::Tools
