// The far end of the bare round trip: a child process (this executable run
// with --echo-peer=<pipe name>) that listens on the pipe, prints "ready",
// accepts one client and sends every frame it reads straight back. It reads
// like a receiver (the 8-byte header, then the rest of the frame) with plain
// blocking calls and does nothing else.
#pragma once
#include <string>

namespace Orvel::Bench {

inline constexpr const char* kEchoPeerOption = "--echo-peer=";
inline constexpr const char* kEchoPeerReady = "ready";

// The child's whole life; the result is its exit status.
int runEchoPeer(const std::string& pipeName);

}  // namespace Orvel::Bench
