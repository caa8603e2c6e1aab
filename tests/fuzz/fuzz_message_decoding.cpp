// Payload decoding of every message type: the IPC client's own messages and
// the property protocol's. The first input byte picks the type, the rest is
// the payload, held in a buffer of exactly its size so that any read past its
// end is caught. Checks, for each type:
// - a payload either decodes or is refused, without crashing;
// - the type's parser calls its handler exactly when the payload decodes, with
//   the decoded value;
// - a decoded value, encoded again, decodes to the same value and encodes to
//   the same bytes, never more than the payload held;
// - its frame has the header, name and payload that the framing rules give.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include "FuzzTarget.h"
#include "ipc/IncomingMessage.h"
#include "ipc/LayerByteMessageParser.h"
#include "ipc/MessageCodec.h"
#include "ipc/Ping.h"
#include "ipc/RequestHandshake.h"
#include "ipc/ResponseHandshake.h"
#include "state/ComponentHeartbeat.h"
#include "state/NotifyPropertyClientStatus.h"
#include "state/PropertyDefinitions.h"
#include "state/PropertyDefinitionsView.h"
#include "state/PropertyUpdateToClient.h"
#include "state/PropertyUpdateToClientView.h"
#include "state/PropertyUpdateToServer.h"
#include "state/RequestClientRole.h"
#include "state/RequestResetPersistentProperties.h"
#include "state/ResponseClientRole.h"

namespace {

using Orvel::Fuzz::check;
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

std::uint32_t readUint32(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  return static_cast<std::uint32_t>(bytes[offset]) | static_cast<std::uint32_t>(bytes[offset + 1]) << 8 |
         static_cast<std::uint32_t>(bytes[offset + 2]) << 16 | static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
}

// A frame carries its total length, the signature "orve", the name's length,
// the type's name, the payload's length and exactly the payload's bytes.
void checkFrame(const Orvel::LayerByteMessage& frame, const char* name, const std::vector<std::uint8_t>& payload) {
  const std::vector<std::uint8_t>& bytes = frame.bytes();
  const std::size_t nameLength = std::strlen(name);
  check(bytes.size() == 16 + nameLength + payload.size(), "a frame is 16 bytes longer than its name and payload");
  check(readUint32(bytes, 0) == bytes.size(), "a frame begins with its total length");
  check(std::memcmp(bytes.data() + 4, "orve", 4) == 0, "a frame's signature is \"orve\"");
  check(readUint32(bytes, 8) == nameLength, "a frame gives its name's length");
  check(std::memcmp(bytes.data() + 12, name, nameLength) == 0, "a frame carries the type's name");
  check(readUint32(bytes, 12 + nameLength) == payload.size(), "a frame gives its payload's length");
  check(std::equal(payload.begin(), payload.end(), bytes.begin() + 16 + static_cast<std::ptrdiff_t>(nameLength)),
        "a frame carries the payload's bytes");
}

// The messages that the property client reads in place: the view takes the
// same payloads as the decoder and reads the same value from them.
void checkReadInPlace(const Messages::PropertyUpdateToClient& decoded, bool decodes, const std::uint8_t* payload,
                      std::uint32_t size) {
  Messages::PropertyUpdateToClientView view;
  check(Messages::PropertyUpdateToClientView::decode(payload, size, view) == decodes,
        "an update read in place decodes exactly when the decoder takes it");
  check(!decodes || same(view.toMessage(), decoded), "an update read in place has the decoded value");
}
void checkReadInPlace(const Messages::PropertyDefinitions& decoded, bool decodes, const std::uint8_t* payload,
                      std::uint32_t size) {
  Messages::PropertyDefinitionsView view;
  check(Messages::PropertyDefinitionsView::decode(payload, size, view) == decodes,
        "definitions read in place decode exactly when the decoder takes them");
  if (!decodes) return;
  Messages::PropertyDefinitions firstRows;
  for (const Messages::PropertyDefinitionsView::Row& row : view.rows) {
    firstRows.definitions.emplace(std::string(row.mapKey), row.toDefinition());
  }
  check(same(firstRows, decoded), "definitions read in place hold the decoded rows, the first of each key");
}
template <typename T>
void checkReadInPlace(const T&, bool, const std::uint8_t*, std::uint32_t) {}

template <typename T>
void checkType(const std::vector<std::uint8_t>& payload) {
  // Copied into a buffer of exactly the payload's size (never null, even when empty).
  const std::size_t size = payload.size();
  const std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[size == 0 ? 1 : size]);
  if (size != 0) std::memcpy(exact.get(), payload.data(), size);

  T decoded{};
  const bool decodes = Orvel::decodeMessage(exact.get(), static_cast<std::uint32_t>(size), decoded);
  checkReadInPlace(decoded, decodes, exact.get(), static_cast<std::uint32_t>(size));

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
  check(calls == (decodes ? 1 : 0), "the parser calls its handler exactly when the payload decodes");
  check(!decodes || handlerGotTheValue, "the handler gets the decoded value");
  if (!decodes) return;

  const std::vector<std::uint8_t> encoded = Orvel::encodeMessage(decoded);
  // Decoding takes what the payload holds and invents nothing: the value's
  // own encoding is never longer (a repeated definition key is dropped,
  // bytes after the last field are ignored).
  check(encoded.size() <= size, "a decoded value encodes to no more than its payload");
  T again{};
  check(Orvel::decodeMessage(encoded.data(), static_cast<std::uint32_t>(encoded.size()), again),
        "a decoded value, encoded again, decodes");
  check(same(decoded, again), "a decoded value, encoded again, decodes to the same value");
  // The definitions map is sent in its iteration order, which may differ
  // between two maps of the same entries: there only the length is fixed.
  const std::vector<std::uint8_t> reencoded = Orvel::encodeMessage(again);
  if constexpr (std::is_same_v<T, Messages::PropertyDefinitions>) {
    check(reencoded.size() == encoded.size(), "a value encodes to as many bytes each time");
  } else {
    check(reencoded == encoded, "a value encodes to the same bytes each time");
  }
  checkFrame(*parser.encode(decoded), T::messageName, encoded);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Orvel::Fuzz::silenceLogs();
  if (size == 0) return 0;
  const std::vector<std::uint8_t> payload(data + 1, data + size);
  switch (data[0] % 11) {
    case 0: checkType<Internal::Ping>(payload); break;
    case 1: checkType<Internal::RequestHandshake>(payload); break;
    case 2: checkType<Internal::ResponseHandshake>(payload); break;
    case 3: checkType<Messages::RequestClientRole>(payload); break;
    case 4: checkType<Messages::ResponseClientRole>(payload); break;
    case 5: checkType<Messages::NotifyPropertyClientStatus>(payload); break;
    case 6: checkType<Messages::PropertyDefinitions>(payload); break;
    case 7: checkType<Messages::PropertyUpdateToServer>(payload); break;
    case 8: checkType<Messages::PropertyUpdateToClient>(payload); break;
    case 9: checkType<Messages::RequestResetPersistentProperties>(payload); break;
    case 10: checkType<Messages::ComponentHeartbeat>(payload); break;
  }
  return 0;
}
