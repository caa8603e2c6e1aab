#include "property/Property.h"

#include <algorithm>
#include <utility>

#include <fmt/format.h>

#include "logging/Log.h"

namespace Orvel::State {

Property::Property(std::string key)
    : ownerRole_(ClientRole::UNKNOWN), names_(std::make_unique<const Names>(Names{std::move(key), {}})) {
  key_ = &names_->key;
  type_ = names_->type.c_str();
}

Property::Property(ClientRole ownerRole, const Messages::PropertyDefinition& definition)
    : ownerRole_(ownerRole),
      persistent_(definition.persistent),
      writers_(definition.writers),
      names_(std::make_unique<const Names>(Names{definition.key, definition.type})),
      value_(definition.defaultValue),
      version_(definition.version) {
  key_ = &names_->key;
  type_ = names_->type.c_str();
}

Property::Property(ClientRole ownerRole, const LastingRow& row)
    : ownerRole_(ownerRole),
      persistent_(row.persistent),
      writers_(row.writers, row.writerCount),
      key_(row.key),
      type_(row.type),
      value_(row.defaultValue),
      version_(row.version) {}

Property::~Property() = default;

void Property::initialize(const std::vector<ClientRole>& writers, const std::string& value,
                          const std::string& remoteType, std::uint64_t version, bool /*persistent*/) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  const bool remoteTypeDiffers = remoteType != type_;
  if (remoteTypeDiffers) {
    const std::string text =
        fmt::format("Invalid type for property '{}': local type '{}', remote type '{}'", *key_, type_, remoteType);
    LOG_WARNING("%s", text.c_str());
  }
  initialized_ = true;
  writers_.assign(writers);
  version_ = version;
  persistent_ = true;
  if (!remoteTypeDiffers) {
    remoteType_.reset();
  } else if (remoteType_ != nullptr) {
    *remoteType_ = remoteType;
  } else {
    remoteType_ = std::make_unique<std::string>(remoteType);
  }
  assignValue(value);
}

bool Property::setStringValue(ClientRole writer, const std::string& newValue) {
  const std::string writerName = clientRoleToString(writer);
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (!initialized_) {
    if (!unknownLogged_) {
      LOG_ERROR("Property '%s' is not known", key_->c_str());
      unknownLogged_ = true;
    }
    return false;
  }
  unknownLogged_ = false;
  if (!isWriterAllowed(writer)) {
    if (!rejectionLogged_) {
      LOG_ERROR("Client '%s' is not allowed to change key '%s', rejecting change to value '%s'", writerName.c_str(),
                key_->c_str(), newValue.c_str());
      rejectionLogged_ = true;
    }
    return false;
  }
  rejectionLogged_ = false;
  if (remoteType_ != nullptr) {
    LOG_ONCE(LogLevels::Warning, "Client '%s' has invalid property type '%s' for property '%s', remote type is '%s'",
             writerName.c_str(), type_, key_->c_str(), remoteType_->c_str());
    return false;
  }
  // The old value is only ever read to describe a change for the log: a
  // property whose changes are not logged copies nothing (an update of a
  // long value would otherwise copy it on every write).
  std::string oldValue;
  if (logChanges_) oldValue = value_;
  const bool changed = assignValue(newValue);
  if (changed && logChanges_) {
    const bool formatted = formatter_ != nullptr && *formatter_;
    LogUtil_PropertyChange(writerName, *key_, formatted ? (*formatter_)(oldValue, value_) : value_);
  }
  return changed;
}

bool Property::isWriterAllowed(ClientRole writer) const {
  if (!initialized_) return false;
  if (writer == ClientRole::PROPERTY_UTIL || writer == ClientRole::PROPERTY_SERVER) return true;
  return std::any_of(writers_.begin(), writers_.end(),
                     [writer](ClientRole allowed) { return allowed == ClientRole::ALL || allowed == writer; });
}

bool Property::assignValue(const std::string& newValue) {
  if (newValue == value_) return false;
  value_ = newValue;
  changed_.emit(*this);
  return true;
}

std::string Property::getStringValue() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return value_;
}

bool Property::getLogChanges() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return logChanges_;
}

std::string Property::getType() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return type_;
}

std::string Property::getRemoteType() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return remoteType_ != nullptr ? *remoteType_ : std::string(type_);
}

std::vector<ClientRole> Property::getWriters() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return writers_.toVector();
}

std::uint64_t Property::getVersion() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return version_;
}

bool Property::isPersistent() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return persistent_;
}

bool Property::isInitialized() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return initialized_;
}

EventConnection Property::onChanged(ChangedListener listener) { return changed_.connect(std::move(listener)); }

}  // namespace Orvel::State
