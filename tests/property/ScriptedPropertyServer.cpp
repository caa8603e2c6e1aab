#include "ScriptedPropertyServer.h"

#include "support/WireBytes.h"

namespace Orvel::Test {

namespace {

std::uint32_t getU32(const Bytes& bytes, std::size_t at) {
  return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
         static_cast<std::uint32_t>(bytes[at + 2]) << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

}  // namespace

ScriptedPropertyServer::ScriptedPropertyServer(const std::string& purpose) : server_(uniquePipeName(purpose)) {}

ScriptedPropertyServer::~ScriptedPropertyServer() { dropClient(); }

void ScriptedPropertyServer::setDefinitions(std::optional<std::vector<ServerDefinition>> definitions) {
  std::lock_guard<std::mutex> lock(mutex_);
  definitions_ = std::move(definitions);
}

bool ScriptedPropertyServer::acceptClient(std::chrono::milliseconds bound) {
  dropClient();
  std::unique_ptr<PipeConnection> connection = server_.accept(bound);
  if (!connection) return false;
  int number = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    number = ++connections_;
    stopReading_ = false;
  }
  connection_ = std::move(connection);
  reader_ = std::thread([this, number] { serve(*connection_, number); });
  return true;
}

void ScriptedPropertyServer::dropClient() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopReading_ = true;
  }
  if (connection_) connection_->close();
  if (reader_.joinable()) reader_.join();
  connection_.reset();
}

// Collects bytes and cuts whole frames out of them:
// totalLength, "orve", nameLength, name, payloadLength, payload.
void ScriptedPropertyServer::serve(PipeConnection& connection, int number) {
  Bytes buffer;
  std::uint8_t chunk[4096];
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopReading_) return;
    }
    std::size_t size = sizeof chunk;
    const auto status = connection.readSome(chunk, size, std::chrono::milliseconds(50));
    if (status == PipeConnection::ReadStatus::End) return;
    if (status == PipeConnection::ReadStatus::TimedOut) continue;
    buffer.insert(buffer.end(), chunk, chunk + size);
    while (buffer.size() >= 16) {
      const std::uint32_t total = getU32(buffer, 0);
      const bool signed_ = buffer[4] == 'o' && buffer[5] == 'r' && buffer[6] == 'v' && buffer[7] == 'e';
      const std::uint32_t nameLength = getU32(buffer, 8);
      if (!signed_ || total < 16 || nameLength > total - 16) {
        // The client never writes such a frame: record it for the test to see.
        {
          std::lock_guard<std::mutex> lock(mutex_);
          frames_.push_back(ReceivedFrame{number, "<bad frame>", buffer});
        }
        changed_.notify_all();
        return;
      }
      if (buffer.size() < total) break;
      const std::string name(buffer.begin() + 12, buffer.begin() + 12 + nameLength);
      const Bytes payload(buffer.begin() + 16 + nameLength, buffer.begin() + total);
      const bool consistent = getU32(buffer, 12 + nameLength) == total - 16 - nameLength;
      buffer.erase(buffer.begin(), buffer.begin() + total);
      handle(consistent ? name : "<bad frame>", payload, number);
    }
  }
}

void ScriptedPropertyServer::handle(const std::string& name, const Bytes& payload, int number) {
  std::optional<std::vector<ServerDefinition>> definitions;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    frames_.push_back(ReceivedFrame{number, name, payload});
    // Once per connection, as a real server does after the first role answer.
    if (name == "ResponseClientRole" && definitionsSentOn_ != number) {
      definitions = definitions_;
      if (definitions) definitionsSentOn_ = number;
    }
  }
  changed_.notify_all();
  if (name == "RequestHandshake") {
    send("ResponseHandshake", Bytes{42, 0, 0, 0, 0, 0, 0, 0});
    sendRoleRequest();
  } else if (definitions) {
    send("PropertyDefinitions", definitionsPayload(*definitions));
  }
}

bool ScriptedPropertyServer::send(const std::string& name, const Bytes& payload) {
  std::lock_guard<std::mutex> lock(writeMutex_);
  return connection_ && connection_->writeFrame(name, payload);
}

bool ScriptedPropertyServer::sendUpdate(const std::string& key, const std::string& value, std::uint32_t writer) {
  Bytes payload;
  putString(payload, key);
  putString(payload, value);
  putU32(payload, writer);
  return send("PropertyUpdateToClient", payload);
}

bool ScriptedPropertyServer::waitForFrames(const std::string& name, std::size_t count,
                                           std::chrono::milliseconds bound) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, bound, [&] {
    std::size_t found = 0;
    for (const auto& frame : frames_) found += frame.name == name ? 1 : 0;
    return found >= count;
  });
}

std::vector<ReceivedFrame> ScriptedPropertyServer::frames() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return frames_;
}

std::vector<ReceivedFrame> ScriptedPropertyServer::frames(const std::string& name) const {
  std::vector<ReceivedFrame> found;
  for (const auto& frame : frames()) {
    if (frame.name == name) found.push_back(frame);
  }
  return found;
}

std::vector<std::string> ScriptedPropertyServer::frameNames() const {
  std::vector<std::string> names;
  for (const auto& frame : frames()) names.push_back(frame.name);
  return names;
}

Bytes ScriptedPropertyServer::definitionsPayload(const std::vector<ServerDefinition>& definitions) {
  Bytes bytes;
  putU32(bytes, static_cast<std::uint32_t>(definitions.size()));
  for (const ServerDefinition& definition : definitions) {
    putString(bytes, definition.key);
    putU32(bytes, static_cast<std::uint32_t>(definition.writers.size()));
    for (std::uint32_t writer : definition.writers) putU32(bytes, writer);
    putString(bytes, definition.key);
    putString(bytes, definition.type);
    putString(bytes, definition.value);
    putU64(bytes, definition.version);
    bytes.push_back(definition.persistent ? 1 : 0);
    bytes.push_back(definition.loggable ? 1 : 0);
  }
  return bytes;
}

Bytes ScriptedPropertyServer::updateToServerPayload(const std::string& key, const std::string& value) {
  Bytes bytes;
  putString(bytes, key);
  putString(bytes, value);
  return bytes;
}

}  // namespace Orvel::Test
