#include "PropertyServer.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include <nlohmann/json.hpp>

#include "ServerSession.h"
#include "ipc/ResponseHandshake.h"
#include "platform/SystemError.h"
#include "state/PropertyDefinitions.h"
#include "state/PropertyUpdateToClient.h"
#include "state/RequestClientRole.h"

namespace Orvel::Tools {

using State::ClientRole;

namespace {

// How long one accept waits before run() looks for a stop and ended clients.
constexpr std::chrono::milliseconds kAcceptSlice(200);

// A text in double quotes with JSON escapes, so that any key or value (line
// ends, quotes, bytes that are no UTF-8) stays on its one output line.
std::string quotedText(const std::string& text) {
  return nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string roleText(ClientRole role) {
  return State::clientRoleToString(role) + " (" + std::to_string(static_cast<std::uint32_t>(role)) + ")";
}

std::string rolesText(const std::vector<ClientRole>& roles) {
  std::string text;
  for (const ClientRole role : roles) text += (text.empty() ? "" : ",") + State::clientRoleToString(role);
  return text.empty() ? "none" : text;
}

}  // namespace

PropertyServer::PropertyServer(const State::PropertyCatalogue& catalogue, ServerOptions options, Output output)
    : options_(std::move(options)), faults_(options_.misbehaviour, options_.misbehaviourPoint ? &*options_.misbehaviourPoint : nullptr), output_(std::move(output)), store_(catalogue) {}

PropertyServer::~PropertyServer() = default;

bool PropertyServer::applyOptions(std::string& error) {
  for (const auto& [key, value] : options_.values) {
    if (!store_.setValue(key, value)) {
      error = "Unknown property key in --set: " + key;
      return false;
    }
    print("initial " + quotedText(key) + " = " + quotedText(value));
  }
  for (const auto& [key, writers] : options_.writers) {
    if (!store_.setWriters(key, writers)) {
      error = "Unknown property key in --writers: " + key;
      return false;
    }
    print("writers of " + quotedText(key) + ": " + rolesText(writers));
  }
  for (const auto& key : options_.omitted) {
    if (!store_.omit(key)) {
      error = "Unknown property key in --omit: " + key;
      return false;
    }
    print("omitted " + quotedText(key));
  }
  for (const auto& [key, count] : options_.floods) {
    if (!store_.contains(key)) {
      error = "Unknown property key in --flood: " + key;
      return false;
    }
  }
  return true;
}

bool PropertyServer::listen(std::string& error) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!applyOptions(error)) return false;
  pipe_ = std::make_unique<PipeServer>(options_.pipeName);
  if (!pipe_->isListening()) {
    error = "Unable to create the pipe " + options_.pipeName + ": " + formatSystemError(pipe_->errorCode());
    return false;
  }
  print("listening on " + options_.pipeName + " with " + std::to_string(store_.size()) + " properties");
  return true;
}

void PropertyServer::run() {
  while (!stopRequested_.load() && pipe_ && pipe_->isListening()) {
    releaseEndedSessions();
    if (auto connection = pipe_->accept(kAcceptSlice)) accepted(std::move(connection));
  }
  std::map<int, Client> remaining;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    remaining.swap(clients_);
  }
  remaining.clear();  // closes the connections and joins their threads
  releaseEndedSessions();
  pipe_.reset();
}

void PropertyServer::stop() { stopRequested_.store(true); }

void PropertyServer::accepted(std::unique_ptr<PipeConnection> connection) {
  std::shared_ptr<ServerSession> session;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    session = std::make_shared<ServerSession>(*this, ++connections_, options_.pipeName, std::move(connection));
    FaultScene scene = sceneOf(*session);
    faults_.at(FaultPoint::Connected, scene);
    clients_[session->number()].session = session;
    printClient(*session, "connected");
  }
  session->start();
}

void PropertyServer::releaseEndedSessions() {
  std::vector<std::shared_ptr<ServerSession>> ended;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ended.swap(ended_);
  }
  ended.clear();
}

void PropertyServer::onHandshake(ServerSession& session, const std::string& clientName) {
  std::lock_guard<std::mutex> lock(mutex_);
  FaultScene scene = sceneOf(session);
  const bool answer = faults_.at(FaultPoint::BeforeHandshakeAnswer, scene);
  printClient(session, "handshake " + quotedText(clientName) + scene.handshakeNote);
  if (!answer) return;
  IPC::InternalMessages::ResponseHandshake response;
  response.serverValue = session.number();
  session.send(response);
  if (!faults_.at(FaultPoint::AfterHandshakeAnswer, scene)) return;
  session.send(State::Messages::RequestClientRole{});
}

void PropertyServer::onClientRole(ServerSession& session, ClientRole role) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = clients_.find(session.number());
  if (found == clients_.end()) return;
  Client& client = found->second;
  client.role = role;
  printClient(session, "role " + roleText(role));
  if (client.hasDefinitions) return;
  const State::Messages::PropertyDefinitions definitions = store_.definitions();
  FaultScene scene = sceneOf(session, &definitions);
  if (!faults_.at(FaultPoint::BeforeDefinitions, scene)) return;
  session.send(definitions);
  client.hasDefinitions = true;
  printClient(session, "definitions sent (" + std::to_string(store_.size()) + " properties)");
  sendFlood(session);
  faults_.at(FaultPoint::AfterDefinitions, scene);
}

void PropertyServer::sendFlood(ServerSession& session) {
  std::uint32_t longest = 0;
  for (const auto& flood : options_.floods) longest = std::max(longest, flood.second);
  // The keys take turns, so the client sees their updates interleaved.
  for (std::uint32_t number = 1; number <= longest; ++number) {
    for (const auto& [key, count] : options_.floods) {
      if (number > count) continue;
      State::Messages::PropertyUpdateToClient update;
      update.key = key;
      update.value = std::to_string(number);
      update.writer = ClientRole::PROPERTY_SERVER;
      std::string previous;
      store_.write(update.writer, key, update.value, previous);
      session.send(update);
    }
  }
  for (const auto& [key, count] : options_.floods) {
    printClient(session, "flood of " + std::to_string(count) + " updates of " + quotedText(key) + " sent, value now " +
                             quotedText(store_.value(key)));
  }
}

void PropertyServer::onUpdate(ServerSession& session, const std::string& key, const std::string& value) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = clients_.find(session.number());
  if (found == clients_.end()) return;
  const ClientRole writer = found->second.role;
  std::string previous;
  const std::string update = "update " + quotedText(key) + " = " + quotedText(value);
  switch (store_.write(writer, key, value, previous)) {
    case PropertyStore::WriteResult::UnknownKey:
      printClient(session, update + " refused: unknown key");
      return;
    case PropertyStore::WriteResult::NotAllowed:
      printClient(session, update + " refused: " + State::clientRoleToString(writer) + " may not write it");
      return;
    case PropertyStore::WriteResult::Unchanged:
      printClient(session, update + " unchanged");
      return;
    case PropertyStore::WriteResult::Changed:
      printClient(session, update + " (was " + quotedText(previous) + ")");
      break;
  }
  State::Messages::PropertyUpdateToClient change;
  change.key = key;
  change.value = value;
  change.writer = writer;
  for (auto& [number, client] : clients_) {
    if (number != session.number() && client.hasDefinitions) client.session->send(change);
  }
}

void PropertyServer::onPing(ServerSession& session) {
  // A ping only keeps the connection alive and is not answered: a client
  // handles no Ping, and would log every answer as a message without handlers.
  if (!options_.showPings) return;
  std::lock_guard<std::mutex> lock(mutex_);
  printClient(session, "ping");
}

void PropertyServer::onReadiness(ServerSession& session, bool ready) {
  std::lock_guard<std::mutex> lock(mutex_);
  printClient(session, ready ? "ready" : "not ready");
}

void PropertyServer::onHeartbeat(ServerSession& session) {
  std::lock_guard<std::mutex> lock(mutex_);
  printClient(session, "heartbeat");
}

void PropertyServer::onResetPersistentProperties(ServerSession& session) {
  std::lock_guard<std::mutex> lock(mutex_);
  printClient(session, "reset of persistent properties requested; not supported here, ignored");
}

void PropertyServer::onUnknownMessage(ServerSession& session, const std::string& name) {
  std::lock_guard<std::mutex> lock(mutex_);
  printClient(session, "unknown message " + quotedText(name) + " ignored");
}

void PropertyServer::onSessionEnded(ServerSession& session) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = clients_.find(session.number());
  if (found == clients_.end()) return;  // run() is closing every connection
  ended_.push_back(std::move(found->second.session));
  clients_.erase(found);
  printClient(session, "disconnected");
}

FaultScene PropertyServer::sceneOf(ServerSession& session, const State::Messages::PropertyDefinitions* definitions) {
  return FaultScene{session, [this, &session](const std::string& event) { printClient(session, event); }, definitions,
                    std::string()};
}

void PropertyServer::print(const std::string& line) { output_(line); }

void PropertyServer::printClient(const ServerSession& session, const std::string& event) {
  print("client " + std::to_string(session.number()) + ": " + event);
}

}  // namespace Orvel::Tools
