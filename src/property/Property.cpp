#include "property/Property.h"

#include <algorithm>
#include <utility>

#include <fmt/format.h>

#include "logging/Log.h"

namespace Orvel::State {

Property::Property(std::string key) : ownerRole_(ClientRole::UNKNOWN) { holdNames(new Names{std::move(key), {}}); }

Property::Property(ClientRole ownerRole, const Messages::PropertyDefinition& definition)
    : ownerRole_(ownerRole),
      persistent_(definition.persistent),
      writers_(definition.writers),
      value_(definition.defaultValue),
      version_(definition.version) {
  holdNames(new Names{definition.key, definition.type});
}

Property::Property(ClientRole ownerRole, const LastingRow& row)
    : ownerRole_(ownerRole),
      persistent_(row.persistent),
      writers_(row.writers, row.writerCount),
      key_(row.key.data()),
      type_(row.type),
      value_(row.defaultValue),
      version_(row.version),
      keyLength_(static_cast<std::uint32_t>(row.key.size())) {}

Property::~Property() { delete names_.load(); }

void Property::holdNames(const Names* names) {
  names_.store(names);
  key_ = names->key.c_str();
  type_ = names->type.c_str();
}

const std::string& Property::getKey() const {
  const Names* names = names_.load(std::memory_order_acquire);
  if (names == nullptr) {
    // Made on the first request: a client holds hundreds of properties and
    // asks few of them for their key as a string.
    auto made = std::make_unique<const Names>(Names{std::string(key_, keyLength_), {}});
    if (names_.compare_exchange_strong(names, made.get(), std::memory_order_acq_rel)) names = made.release();
  }
  return names->key;
}

std::string_view Property::keyView() const {
  const Names* names = names_.load(std::memory_order_acquire);
  return names != nullptr ? std::string_view(names->key) : std::string_view(key_, keyLength_);
}

void Property::initialize(const std::vector<ClientRole>& writers, const std::string& value,
                          const std::string& remoteType, std::uint64_t version, bool /*persistent*/) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  const bool remoteTypeDiffers = remoteType != type_;
  if (remoteTypeDiffers) {
    const std::string text =
        fmt::format("Invalid type for property '{}': local type '{}', remote type '{}'", keyView(), type_, remoteType);
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
      LOG_ERROR("Property '%s' is not known", key_);
      unknownLogged_ = true;
    }
    return false;
  }
  unknownLogged_ = false;
  if (!isWriterAllowed(writer)) {
    if (!rejectionLogged_) {
      LOG_ERROR("Client '%s' is not allowed to change key '%s', rejecting change to value '%s'", writerName.c_str(),
                key_, newValue.c_str());
      rejectionLogged_ = true;
    }
    return false;
  }
  rejectionLogged_ = false;
  if (remoteType_ != nullptr) {
    LOG_ONCE(LogLevels::Warning, "Client '%s' has invalid property type '%s' for property '%s', remote type is '%s'",
             writerName.c_str(), type_, key_, remoteType_->c_str());
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
    LogUtil_PropertyChange(writerName, getKey(), formatted ? (*formatter_)(oldValue, value_) : value_);
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
