#include "property/SourceAwareProperty.h"

#include <utility>

namespace Orvel::State {

SourceAwareProperty::~SourceAwareProperty() = default;

void SourceAwareProperty::initialize(const std::vector<ClientRole>& writers, const std::string& value,
                                     const std::string& remoteType, std::uint64_t version, bool persistent) {
  std::lock_guard<std::recursive_mutex> lock(getMutex());
  Property::initialize(writers, value, remoteType, version, persistent);
  emitSourceChanged(ClientRole::PROCESS_SERVER, false);
}

bool SourceAwareProperty::setStringValue(ClientRole writer, const std::string& newValue) {
  return setStringValue(writer, newValue, true);
}

bool SourceAwareProperty::setStringValue(ClientRole writer, const std::string& newValue, bool local) {
  std::lock_guard<std::recursive_mutex> lock(getMutex());
  const bool changed = Property::setStringValue(writer, newValue);
  if (changed) emitSourceChanged(writer, local);
  return changed;
}

EventConnection SourceAwareProperty::onSourceChanged(SourceChangedListener listener) {
  return sourceChanged_.connect(std::move(listener));
}

void SourceAwareProperty::setObserver(Observer* observer) {
  std::lock_guard<std::recursive_mutex> lock(getMutex());
  observer_ = observer;
}

void SourceAwareProperty::emitSourceChanged(ClientRole writer, bool local) {
  sourceChanged_.emit(*this, writer, local);
  if (observer_ != nullptr) observer_->onSourceChanged(*this, writer, local);
}

}  // namespace Orvel::State
