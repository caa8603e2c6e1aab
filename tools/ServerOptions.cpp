#include "ServerOptions.h"

#include <cstdint>
#include <sstream>

#include "FaultPlan.h"

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

// An argument that is not one of the options, or lacks its value.
const char* const kIncomplete = "Unknown or incomplete argument";

// Reads an option's value into options: null when taken, else the reason for
// refusing the argument, which the error gives before the argument itself.
using Reader = const char* (*)(const std::string& value, ServerOptions& options);

// The reader of an option without a value.
template <bool ServerOptions::*flag>
const char* setFlag(const std::string&, ServerOptions& options) {
  options.*flag = true;
  return nullptr;
}

// One row of --help and of the parser.
struct Option {
  const char* name;  // up to the "=" of an option with a value
  const char* form;  // what --help shows after the name: "=<...>", or "" for an option without a value
  const char* help;  // its lines in --help, '\n' between them
  Reader read;
  bool misbehaviours;  // --help lists the misbehaviours under it
};

const std::vector<Option>& optionTable() {
  static const std::vector<Option> table = {
      {"--pipe", "=<name>", "pipe name (default " ORVEL_PROPERTIES_SERVICE_PIPE ")",
       [](const std::string& value, ServerOptions& options) -> const char* {
         if (value.empty()) return kIncomplete;
         options.pipeName = value;
         return nullptr;
       },
       false},
      {"--set", "=<key>=<value>", "initial value of a property (repeatable)",
       [](const std::string& value, ServerOptions& options) -> const char* {
         std::string key, text;
         if (!splitAssignment(value, key, text)) return kIncomplete;
         options.values.emplace_back(key, text);
         return nullptr;
       },
       false},
      {"--omit", "=<key>", "leave a property out of the definitions (repeatable)",
       [](const std::string& value, ServerOptions& options) -> const char* {
         if (value.empty()) return kIncomplete;
         options.omitted.push_back(value);
         return nullptr;
       },
       false},
      {"--writers", "=<key>=<role>,...",
       "replace a property's writers; roles by name or number,\n"
       "nothing after the second '=' for no writers (repeatable)",
       [](const std::string& value, ServerOptions& options) -> const char* {
         std::string key, text;
         if (!splitAssignment(value, key, text)) return kIncomplete;
         std::vector<ClientRole> roles;
         if (!parseRoles(text, roles)) return "Unknown client role in";
         options.writers.emplace_back(key, roles);
         return nullptr;
       },
       false},
      {"--flood", "=<key>=<count>",
       "send each client, once it has the definitions, <count>\n"
       "updates of the property, values 1 to <count>, the last\n"
       "kept as its value; several keys take turns (repeatable)",
       [](const std::string& value, ServerOptions& options) -> const char* {
         std::string key, text;
         if (!splitAssignment(value, key, text)) return kIncomplete;
         std::uint32_t count = 0;
         if (!parseCount(text, count)) return "Not a number of updates from 1 to 100000000 in";
         options.floods.emplace_back(key, count);
         return nullptr;
       },
       false},
      {"--show-pings", "", "print a line for every ping", setFlag<&ServerOptions::showPings>, false},
      {"--misbehave", "=<how>", "break the protocol on purpose, for testing clients:",
       [](const std::string& value, ServerOptions& options) -> const char* {
         for (const Fault& fault : faultTable()) {
           if (value == fault.name) {
             options.misbehaviour = fault.misbehaviour;
             return nullptr;
           }
         }
         return "Unknown misbehaviour";
       },
       true},
      {"--misbehave-at", "=<point>",
       "where the misbehaviour acts instead of its own point:\n"
       "connected, before-handshake-answer, after-handshake-answer,\n"
       "before-definitions or after-definitions (not every\n"
       "misbehaviour can act at every point)",
       [](const std::string& value, ServerOptions& options) -> const char* {
         for (const NamedFaultPoint& named : faultPointNames()) {
           if (value == named.name) {
             options.misbehaviourPoint = named.point;
             return nullptr;
           }
         }
         return "Unknown point";
       },
       false},
      {"--help", "", "this text", setFlag<&ServerOptions::help>, false},
  };
  return table;
}

// A row of --help: the text in a column of its own, then the help lines,
// the later ones under the first.
void addHelpRow(std::string& usage, const std::string& indent, const std::string& text, const std::string& help) {
  constexpr std::size_t kHelpColumn = 32;
  std::string row = indent + text;
  row.append(row.size() < kHelpColumn ? kHelpColumn - row.size() : 1, ' ');
  std::istringstream lines(help);
  std::string line;
  for (bool first = true; std::getline(lines, line); first = false) {
    usage += (first ? row : std::string(kHelpColumn, ' ')) + line + "\n";
  }
}

}  // namespace

bool parseServerOptions(int argc, const char* const argv[], ServerOptions& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    const auto equals = argument.find('=');
    const std::string name = argument.substr(0, equals);
    const bool hasValue = equals != std::string::npos;
    const char* refusal = kIncomplete;
    for (const Option& option : optionTable()) {
      // An option with a value needs its "=", one without takes none.
      if (option.name != name || hasValue != (option.form[0] != '\0')) continue;
      refusal = option.read(hasValue ? argument.substr(equals + 1) : std::string(), options);
      break;
    }
    if (refusal != nullptr) {
      error = std::string(refusal) + ": " + argument;
      return false;
    }
  }
  if (options.misbehaviourPoint) {
    const Fault* chosen = nullptr;
    for (const Fault& fault : faultTable()) {
      if (fault.misbehaviour == options.misbehaviour) chosen = &fault;
    }
    if (chosen == nullptr || (chosen->points & pointBit(*options.misbehaviourPoint)) == 0) {
      error = std::string("The misbehaviour cannot act there: --misbehave-at=") +
              faultPointNames()[static_cast<std::size_t>(*options.misbehaviourPoint)].name;
      return false;
    }
  }
  return true;
}

std::string serverUsage() {
  std::string usage =
      "Usage: OrvelPropertyServer [options]\n"
      "Serves the runtime's properties on the property pipe until it is stopped (Ctrl+C).\n"
      "Prints one line per client event and per property change.\n"
      "\n";
  for (const Option& option : optionTable()) {
    addHelpRow(usage, "  ", std::string(option.name) + option.form, option.help);
    if (!option.misbehaviours) continue;
    for (const Fault& fault : faultTable()) addHelpRow(usage, "      ", fault.name, fault.help);
  }
  return usage;
}

}  // namespace Orvel::Tools
