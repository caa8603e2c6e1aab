// Payload decoding of every message type: the IPC client's own messages and
// the property protocol's. The first input byte picks the type, the rest is
// the payload, held in a buffer of exactly its size so that any read past its
// end is caught. Checks, for each type:
// - a payload either decodes or is refused, without crashing;
// - the type's parser calls its handler exactly when the payload decodes, with
//   the decoded value;
// - a decoded value, encoded again, decodes to the same value.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include "ipc/IncomingMessage.h"
#include "ipc/LayerByteMessageParser.h"
#include "ipc/MessageCodec.h"
#include "ipc/Ping.h"
#include "ipc/RequestHandshake.h"
#include "ipc/ResponseHandshake.h"
#include "logging/Logger.h"
#include "state/ComponentHeartbeat.h"
#include "state/NotifyPropertyClientStatus.h"
#include "state/PropertyDefinitions.h"
#include "state/PropertyUpdateToClient.h"
#include "state/PropertyUpdateToServer.h"
#include "state/RequestClientRole.h"
#include "state/RequestResetPersistentProperties.h"
#include "state/ResponseClientRole.h"

namespace {

namespace Internal = Orvel::IPC::InternalMessages;
namespace Messages = Orvel::State::Messages;

// The values of two messages of one type are the same. Memory-image types
// compare by the fields the protocol gives a meaning.
bool same(const Internal::Ping&, const Internal::Ping&) { return true; }
bool same(const Internal::RequestHandshake& a, const Internal::RequestHandshake& b) {
  return a.clientName == b.clientName;
}
bool same(const Internal::ResponseHandshake& a, const Internal::ResponseHandshake& b) {
  return a.serverValue == b.serverValue;
}
bool same(const Messages::RequestClientRole&, const Messages::RequestClientRole&) { return true; }
bool same(const Messages::ResponseClientRole& a, const Messages::ResponseClientRole& b) { return a.role == b.role; }
bool same(const Messages::NotifyPropertyClientStatus& a, const Messages::NotifyPropertyClientStatus& b) {
  return static_cast<bool>(a.ready) == static_cast<bool>(b.ready);
}
bool same(const Messages::PropertyDefinitions& a, const Messages::PropertyDefinitions& b) {
  if (a.definitions.size() != b.definitions.size()) return false;
  for (const auto& [key, first] : a.definitions) {
    const auto found = b.definitions.find(key);
    if (found == b.definitions.end()) return false;
    const auto& second = found->second;
    if (std::tie(first.writers, first.key, first.type, first.defaultValue, first.version, first.persistent,
                 first.loggable) != std::tie(second.writers, second.key, second.type, second.defaultValue,
                                             second.version, second.persistent, second.loggable))
      return false;
  }
  return true;
}
bool same(const Messages::PropertyUpdateToServer& a, const Messages::PropertyUpdateToServer& b) {
  return a.key == b.key && a.value == b.value;
}
bool same(const Messages::PropertyUpdateToClient& a, const Messages::PropertyUpdateToClient& b) {
  return a.key == b.key && a.value == b.value && a.writer == b.writer;
}
bool same(const Messages::RequestResetPersistentProperties&, const Messages::RequestResetPersistentProperties&) {
  return true;
}
bool same(const Messages::ComponentHeartbeat&, const Messages::ComponentHeartbeat&) { return true; }

template <typename T>
void check(const std::vector<std::uint8_t>& payload) {
  // Copied into a buffer of exactly the payload's size (never null, even when empty).
  const std::size_t size = payload.size();
  const std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[size == 0 ? 1 : size]);
  if (size != 0) std::memcpy(exact.get(), payload.data(), size);

  T decoded{};
  const bool decodes = Orvel::decodeMessage(exact.get(), static_cast<std::uint32_t>(size), decoded);

  Orvel::LayerByteMessageParser<T> parser;
  int calls = 0;
  bool handlerGotTheValue = false;
  Orvel::MessageHandler subscription = parser.addHandler([&](const T& value) {
    ++calls;
    handlerGotTheValue = same(value, decoded);
  });
  Orvel::IncomingMessage message;
  message.name = T::messageName;
  message.payload = payload;
  parser.parseMessage(message);
  if (calls != (decodes ? 1 : 0)) std::abort();
  if (decodes && !handlerGotTheValue) std::abort();
  if (!decodes) return;

  const std::vector<std::uint8_t> encoded = Orvel::encodeMessage(decoded);
  T again{};
  if (!Orvel::decodeMessage(encoded.data(), static_cast<std::uint32_t>(encoded.size()), again)) std::abort();
  if (!same(decoded, again)) std::abort();
  // A frame of the message carries the type's name and exactly these bytes.
  const auto frame = parser.encode(decoded);
  if (frame->bytes().size() != 16 + std::strlen(T::messageName) + encoded.size()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool quiet = [] {
    Orvel::Logger::instance().setSink([](int, const std::string&) {});
    return true;
  }();
  (void)quiet;
  if (size == 0) return 0;
  const std::vector<std::uint8_t> payload(data + 1, data + size);
  switch (data[0] % 11) {
    case 0: check<Internal::Ping>(payload); break;
    case 1: check<Internal::RequestHandshake>(payload); break;
    case 2: check<Internal::ResponseHandshake>(payload); break;
    case 3: check<Messages::RequestClientRole>(payload); break;
    case 4: check<Messages::ResponseClientRole>(payload); break;
    case 5: check<Messages::NotifyPropertyClientStatus>(payload); break;
    case 6: check<Messages::PropertyDefinitions>(payload); break;
    case 7: check<Messages::PropertyUpdateToServer>(payload); break;
    case 8: check<Messages::PropertyUpdateToClient>(payload); break;
    case 9: check<Messages::RequestResetPersistentProperties>(payload); break;
    case 10: check<Messages::ComponentHeartbeat>(payload); break;
  }
  return 0;
}
