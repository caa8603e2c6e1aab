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

  // The one party told of every source change after the listeners, on the
  // changing thread with the property locked: the property client that holds
  // the property. A pointer, not a listener of its own, so that a client of
  // hundreds of properties needs no allocation to watch them.
  class Observer {
   public:
    virtual void onSourceChanged(const Property& property, ClientRole writer, bool local) = 0;

   protected:
    ~Observer() = default;
  };

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

  // Sets the observer, or with nullptr removes it. Takes the property's
  // mutex: once removed from another thread, the observer is no longer being
  // called and never will be again.
  void setObserver(Observer* observer);

 private:
  void emitSourceChanged(ClientRole writer, bool local);

  Event<void(const Property&, ClientRole, bool)> sourceChanged_;
  Observer* observer_ = nullptr;
};

}  // namespace Orvel::State
