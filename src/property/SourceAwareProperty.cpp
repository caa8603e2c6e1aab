#include "property/SourceAwareProperty.h"

#include <utility>

namespace Orvel::State {

SourceAwareProperty::~SourceAwareProperty() = default;

void SourceAwareProperty::initialize(const std::vector<ClientRole>& writers, const std::string& value,
                                     const std::string& remoteType, std::uint64_t version, bool persistent) {
  std::lock_guard<std::recursive_mutex> lock(getMutex());
  Property::initialize(writers, value, remoteType, version, persistent);
  sourceChanged_.emit(*this, ClientRole::PROCESS_SERVER, false);
}

bool SourceAwareProperty::setStringValue(ClientRole writer, const std::string& newValue) {
  return setStringValue(writer, newValue, true);
}

bool SourceAwareProperty::setStringValue(ClientRole writer, const std::string& newValue, bool local) {
  std::lock_guard<std::recursive_mutex> lock(getMutex());
  const bool changed = Property::setStringValue(writer, newValue);
  if (changed) sourceChanged_.emit(*this, writer, local);
  return changed;
}

EventConnection SourceAwareProperty::onSourceChanged(SourceChangedListener listener) {
  return sourceChanged_.connect(std::move(listener));
}

}  // namespace Orvel::State
