// The reference property server: creates the property pipe, serves any
// number of clients at once, answers their handshakes, asks each client's
// role, sends every definition with its current value, applies each client's
// PropertyUpdateToServer under the writer rules of that client's role, and
// sends the change to every other client as PropertyUpdateToClient. Every
// client event and every property change becomes one output line.
//
// Threads: run() accepts on the calling thread; each client has its own
// receiver and writer threads (ServerSession). The on* operations are called
// on the receiver threads. One mutex guards the store, the client table and
// the output, so lines come out in the order in which the state changed.
//
// Misbehaviours (--misbehave) are no part of this protocol code: the fault
// plan acts at its named points of each connection.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "FaultPlan.h"
#include "PropertyStore.h"
#include "ServerOptions.h"
#include "ipc/PipeServer.h"
#include "property/PropertyCatalogue.h"
#include "state/ClientRole.h"

namespace Orvel::Tools {

class ServerSession;

class PropertyServer {
 public:
  // Receives each output line, without its line end.
  using Output = std::function<void(const std::string& line)>;

  PropertyServer(const State::PropertyCatalogue& catalogue, ServerOptions options, Output output);
  // Requires run() to have returned.
  ~PropertyServer();
  PropertyServer(const PropertyServer&) = delete;
  PropertyServer& operator=(const PropertyServer&) = delete;

  // Applies the options to the properties and creates the pipe. False, with
  // a one-line reason in error, for an unknown key or a pipe that cannot be
  // created (another server may own it).
  bool listen(std::string& error);
  // Accepts clients until stop(); then closes every connection.
  void run();
  // Makes run() return soon. Safe from any thread.
  void stop();

  // Events of one client, from its receiver thread.
  void onHandshake(ServerSession& session, const std::string& clientName);
  void onClientRole(ServerSession& session, State::ClientRole role);
  void onUpdate(ServerSession& session, const std::string& key, const std::string& value);
  void onPing(ServerSession& session);
  void onReadiness(ServerSession& session, bool ready);
  void onHeartbeat(ServerSession& session);
  void onResetPersistentProperties(ServerSession& session);
  void onUnknownMessage(ServerSession& session, const std::string& name);
  void onSessionEnded(ServerSession& session);

 private:
  struct Client {
    std::shared_ptr<ServerSession> session;
    State::ClientRole role = State::ClientRole::UNKNOWN;  // until the client states it
    bool hasDefinitions = false;  // from then on it hears the other clients' changes
  };

  bool applyOptions(std::string& error);
  // The updates of --flood to one client that has just got the definitions;
  // mutex_ must be held.
  void sendFlood(ServerSession& session);
  // One client as the fault plan sees it; definitions at the definitions points.
  FaultScene sceneOf(ServerSession& session, const State::Messages::PropertyDefinitions* definitions = nullptr);
  void accepted(std::unique_ptr<PipeConnection> connection);
  // Destroys the sessions of clients that have gone; on the run() thread,
  // because a session cannot be destroyed on its own receiver thread.
  void releaseEndedSessions();
  // Writes a line; mutex_ must be held.
  void print(const std::string& line);
  void printClient(const ServerSession& session, const std::string& event);

  const ServerOptions options_;
  const FaultPlan faults_;
  const Output output_;
  std::mutex mutex_;
  PropertyStore store_;
  std::map<int, Client> clients_;
  std::vector<std::shared_ptr<ServerSession>> ended_;
  std::unique_ptr<PipeServer> pipe_;
  int connections_ = 0;
  std::atomic<bool> stopRequested_{false};
};

}  // namespace Orvel::Tools
