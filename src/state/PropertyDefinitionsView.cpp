#include "state/PropertyDefinitionsView.h"

#include <cstring>

#include "ipc/MessageCodec.h"
#include "ipc/PayloadReader.h"
#include "state/PropertyDefinitions.h"

namespace Orvel::State::Messages {

namespace {

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

PropertyDefinitionsView::Rows::iterator::iterator(const std::uint8_t* first, std::uint32_t bytes, std::uint32_t rows)
    : reader_(first, bytes), left_(rows) {
  if (left_ > 0) readRow(reader_, row_);
}

PropertyDefinitionsView::Rows::iterator& PropertyDefinitionsView::Rows::iterator::operator++() {
  // decode has read every row once: each reads again.
  if (--left_ > 0) readRow(reader_, row_);
  return *this;
}

bool PropertyDefinitionsView::decode(const std::uint8_t* payload, std::uint32_t size,
                                     PropertyDefinitionsView& message) {
  static_assert(sizeof(ClientRole) == 4, "a role travels as 4 bytes");
  message.payload = payload;
  message.size = size;
  message.rows = Rows();
  PayloadReader reader(payload, size);
  std::uint32_t count = 0;
  bool complete = reader.integer(count);
  const std::uint32_t rowBytes = reader.left();
  const std::uint8_t* firstRow = payload + (size - rowBytes);
  Row row;
  for (std::uint32_t i = 0; complete && i < count; ++i) complete = readRow(reader, row);
  if (complete) {
    message.rows.first_ = firstRow;
    message.rows.bytes_ = rowBytes;
    message.rows.count_ = count;
    return true;
  }
  // Only to log the failure as the receiver of PropertyDefinitions does.
  PropertyDefinitions refused;
  decodeMessage(payload, size, refused);
  return false;
}

}  // namespace Orvel::State::Messages
