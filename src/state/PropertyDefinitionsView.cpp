#include "state/PropertyDefinitionsView.h"

#include <algorithm>
#include <cstring>

#include "ipc/MessageCodec.h"
#include "ipc/PayloadReader.h"
#include "state/PropertyDefinitions.h"

namespace Orvel::State::Messages {

namespace {

// The fewest bytes a row takes: four text lengths and the writer count, the
// version, two flags.
constexpr std::uint32_t kSmallestRow = 5 * 4 + 8 + 2;

bool readRow(PayloadReader& reader, PropertyDefinitionsView::Row& row) {
  if (!reader.text(row.mapKey) || !reader.integer(row.writerCount)) return false;
  if (row.writerCount > reader.left() / 4 || !reader.bytes(row.writerCount * 4, row.writers)) return false;
  return reader.text(row.key) && reader.text(row.type) && reader.text(row.defaultValue) &&
         reader.integer(row.version) && reader.flag(row.persistent) && reader.flag(row.loggable);
}

}  // namespace

void PropertyDefinitionsView::Row::copyWritersTo(std::vector<ClientRole>& roles) const {
  roles.resize(writerCount);
  if (writerCount > 0) std::memcpy(roles.data(), writers, writerCount * sizeof(ClientRole));
}

PropertyDefinition PropertyDefinitionsView::Row::toDefinition() const {
  PropertyDefinition definition;
  copyWritersTo(definition.writers);
  definition.key = key;
  definition.type = type;
  definition.defaultValue = defaultValue;
  definition.version = version;
  definition.persistent = persistent;
  definition.loggable = loggable;
  return definition;
}

bool PropertyDefinitionsView::decode(const std::uint8_t* payload, std::uint32_t size,
                                     PropertyDefinitionsView& message) {
  static_assert(sizeof(ClientRole) == 4, "a role travels as 4 bytes");
  message.payload = payload;
  message.size = size;
  message.rows.clear();
  PayloadReader reader(payload, size);
  std::uint32_t count = 0;
  bool complete = reader.integer(count);
  if (complete) {
    message.rows.reserve(std::min<std::uint32_t>(count, reader.left() / kSmallestRow));
    for (std::uint32_t i = 0; complete && i < count; ++i) {
      message.rows.emplace_back();
      complete = readRow(reader, message.rows.back());
    }
  }
  if (complete) return true;
  // Only to log the failure as the receiver of PropertyDefinitions does.
  PropertyDefinitions refused;
  decodeMessage(payload, size, refused);
  message.rows.clear();
  return false;
}

}  // namespace Orvel::State::Messages
