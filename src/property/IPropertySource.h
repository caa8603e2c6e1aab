// Read access to a set of properties by key, with change notification.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "property/EventConnection.h"
#include "property/Property.h"
#include "state/ClientRole.h"

namespace Orvel::State {

class IPropertySource {
 public:
  using PropertyListener = std::function<void(const Property&)>;

  virtual ~IPropertySource() = default;

  virtual std::vector<std::string> getPropertyKeys() const = 0;
  // The property with that key; an unknown key gets a placeholder that stays
  // uninitialized until the server defines the key.
  virtual std::shared_ptr<Property> getPropertyRaw(const std::string& key) = 0;
  // Calls listener for every change of any property, on the thread that made
  // the change and with that property locked. With notifyExisting, first
  // calls it once for every property held.
  virtual EventConnection onPropertyChanged(PropertyListener listener, bool notifyExisting) = 0;
  virtual ClientRole getClientRole() const = 0;
};

}  // namespace Orvel::State
