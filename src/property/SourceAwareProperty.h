// A property that also tells its listeners who changed the value and whether
// the change came from this process's own write. The property client creates
// only these.
#pragma once
#include <functional>

#include "property/Property.h"

namespace Orvel::State {

class SourceAwareProperty : public Property {
 public:
  using SourceChangedListener = std::function<void(const Property&, ClientRole writer, bool local)>;

  using Property::Property;
  ~SourceAwareProperty() override;

  // As the base, then emits sourceChanged (PROCESS_SERVER, not local) even
  // when the value did not change.
  void initialize(const std::vector<ClientRole>& writers, const std::string& value, const std::string& remoteType,
                  std::uint64_t version, bool persistent) override;
  // A local write: as the base, then sourceChanged (writer, local) on a change.
  bool setStringValue(ClientRole writer, const std::string& newValue) override;
  // As above with the caller's `local` flag; the property client passes false
  // for values that come from the server, so they are not sent back.
  bool setStringValue(ClientRole writer, const std::string& newValue, bool local);

  EventConnection onSourceChanged(SourceChangedListener listener);

 private:
  Event<void(const Property&, ClientRole, bool)> sourceChanged_;
};

}  // namespace Orvel::State
