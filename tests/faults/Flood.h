// The reference server's --flood: options that flood a client with updates
// of text properties, and what the server and the client show for them.
#pragma once
#include <string>
#include <vector>

namespace Orvel::Test {

// Text properties whose catalogue value is empty, so that every flooded
// value ("1", "2", ...) is a change.
inline const std::vector<std::string> kFloodKeys = {"Account.Frontend", "Account.Parameters", "Base.GazeRecording",
                                                    "Account.RuntimeStorage"};

// --flood=<key>=<perKey> for every flood key, then the other options given.
inline std::vector<std::string> floodOptions(int perKey, const std::vector<std::string>& others = {}) {
  std::vector<std::string> options;
  for (const auto& key : kFloodKeys) options.push_back("--flood=" + key + "=" + std::to_string(perKey));
  options.insert(options.end(), others.begin(), others.end());
  return options;
}

// The server's line once it has queued the updates of one key for client 1.
inline std::string floodSentLine(const std::string& key, int perKey) {
  const std::string last = std::to_string(perKey);
  return "client 1: flood of " + last + " updates of \"" + key + "\" sent, value now \"" + last + "\"";
}

// "1", "2", ... count: the values of one key, in the order sent.
inline std::vector<std::string> numbersUpTo(int count) {
  std::vector<std::string> numbers;
  for (int i = 1; i <= count; ++i) numbers.push_back(std::to_string(i));
  return numbers;
}

}  // namespace Orvel::Test
