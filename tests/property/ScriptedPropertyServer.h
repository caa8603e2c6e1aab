// A property server for tests, on a real pipe (a Unix socket on Linux): it
// accepts one client at a time, answers the handshake, asks for the client's
// role, sends definitions once the role has come, and records every frame the
// client sends. Payloads are built here byte by byte, apart from
// the client's own encoder.
#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/PipeServer.h"

namespace Orvel::Test {

using Bytes = std::vector<std::uint8_t>;

struct ServerDefinition {
  std::string key;
  std::string type;
  std::string value;  // sent in the defaultValue field: the current value
  std::vector<std::uint32_t> writers;
  std::uint64_t version = 1;
  bool persistent = false;
  bool loggable = true;
};

struct ReceivedFrame {
  int connection;  // 1 for the first client accepted, 2 for the next, ...
  std::string name;
  Bytes payload;
};

class ScriptedPropertyServer {
 public:
  explicit ScriptedPropertyServer(const std::string& purpose);
  ~ScriptedPropertyServer();
  ScriptedPropertyServer(const ScriptedPropertyServer&) = delete;
  ScriptedPropertyServer& operator=(const ScriptedPropertyServer&) = delete;

  const std::string& pipeName() const { return server_.name(); }

  // Definitions to send after the first ResponseClientRole of each
  // connection; none: the server never sends definitions by itself.
  void setDefinitions(std::optional<std::vector<ServerDefinition>> definitions);

  // Waits for the next client and starts serving it. False when none came.
  bool acceptClient(std::chrono::milliseconds bound = std::chrono::seconds(20));
  // Closes the current connection, as a server that goes away.
  void dropClient();

  bool send(const std::string& name, const Bytes& payload);
  bool sendUpdate(const std::string& key, const std::string& value, std::uint32_t writer);
  bool sendRoleRequest() { return send("RequestClientRole", {}); }

  // Waits until `count` frames of that name have arrived.
  bool waitForFrames(const std::string& name, std::size_t count,
                     std::chrono::milliseconds bound = std::chrono::seconds(20));
  std::vector<ReceivedFrame> frames() const;
  std::vector<ReceivedFrame> frames(const std::string& name) const;
  // Names of the frames received so far, in order.
  std::vector<std::string> frameNames() const;

  static Bytes definitionsPayload(const std::vector<ServerDefinition>& definitions);
  static Bytes updateToServerPayload(const std::string& key, const std::string& value);

 private:
  void serve(PipeConnection& connection, int number);
  void handle(const std::string& name, const Bytes& payload, int number);

  PipeServer server_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<ReceivedFrame> frames_;
  std::optional<std::vector<ServerDefinition>> definitions_;
  std::mutex writeMutex_;
  std::unique_ptr<PipeConnection> connection_;
  std::thread reader_;
  bool stopReading_ = false;
  int connections_ = 0;
  int definitionsSentOn_ = 0;  // the connection that has had its definitions
};

}  // namespace Orvel::Test
