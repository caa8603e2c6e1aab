// One named piece of the runtime's shared state, carried as text.
//
// A property is created uninitialized, from a catalogue definition or as a
// placeholder for an unknown key, and becomes initialized when the server's
// definition is applied. Writes are refused before that, and afterwards unless
// the writer is allowed by the server's writer list.
//
// Any thread may call any operation. Every field is guarded by the property's
// recursive mutex; the changed event is emitted with that mutex held, so
// listeners may call back into the same property on the same thread.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "property/Event.h"
#include "property/WriterList.h"
#include "state/ClientRole.h"
#include "state/PropertyDefinition.h"

namespace Orvel::State {

class Property {
 public:
  using ChangedListener = std::function<void(const Property&)>;

  // A placeholder: key only, no type, value or writers, owner UNKNOWN.
  explicit Property(std::string key);
  // From a local definition; the value starts as its defaultValue.
  Property(ClientRole ownerRole, const Messages::PropertyDefinition& definition);
  // A row of a table whose texts live as long as the property, as those of
  // the program's own table do (to the end of the process): a property made
  // from it refers to the key and the type name instead of copying them, and
  // makes a string of its key only when getKey is first called. Both texts
  // end with a null character.
  struct LastingRow {
    std::string_view key;
    const char* type;
    std::string_view defaultValue;
    const ClientRole* writers;
    std::size_t writerCount;
    std::uint64_t version;
    bool persistent;
  };
  Property(ClientRole ownerRole, const LastingRow& row);
  Property(const Property&) = delete;
  Property& operator=(const Property&) = delete;
  virtual ~Property();

  // Applies the server's definition: writers, version, type and current
  // value. A type name other than the local one is logged and then refuses
  // every later write. `persistent` is not used: the stored flag becomes true.
  virtual void initialize(const std::vector<ClientRole>& writers, const std::string& value,
                          const std::string& remoteType, std::uint64_t version, bool persistent);

  // A write on behalf of `writer`; true when the value changed.
  virtual bool setStringValue(ClientRole writer, const std::string& newValue);

  std::string getStringValue() const;
  // Never changes after construction.
  const std::string& getKey() const;
  // The same text, without making a string of it.
  std::string_view keyView() const;
  bool getLogChanges() const;

  std::string getType() const;
  std::string getRemoteType() const;
  std::vector<ClientRole> getWriters() const;
  std::uint64_t getVersion() const;
  bool isPersistent() const;
  bool isInitialized() const;

  // Hold it to make a read and a write one step (the set mode does).
  std::recursive_mutex& getMutex() const { return mutex_; }

  EventConnection onChanged(ChangedListener listener);

 private:
  // Replaces the value and emits changed; false when the text is the same.
  bool assignValue(const std::string& newValue);
  bool isWriterAllowed(ClientRole writer) const;

  // The key and the local type name of a property not made from a lasting
  // row: its own copies. A property made from a lasting row makes one, with
  // the key only, on the first call of getKey.
  struct Names {
    std::string key;
    std::string type;
  };
  // Takes ownership of names made by a constructor and refers to their texts.
  void holdNames(const Names* names);

  // Ordered so that no member leaves a gap: a client holds hundreds of
  // properties side by side.
  mutable std::recursive_mutex mutex_;
  // The role of the client that holds it (UNKNOWN for a placeholder): kept
  // for a debugger, never consulted.
  [[maybe_unused]] ClientRole ownerRole_;
  bool logChanges_ = false;
  bool persistent_ = false;
  bool initialized_ = false;
  bool rejectionLogged_ = false;
  WriterList writers_;
  // The key and the local type: the table row's texts, or those of names_.
  // Never change after construction; both end with a null character.
  const char* key_ = nullptr;
  const char* type_ = nullptr;
  // Owned. Set by the constructor, or by the first getKey of a property made
  // from a lasting row (any thread may be first).
  mutable std::atomic<const Names*> names_{nullptr};
  // The server's type name, held only while it differs from the local one
  // (nearly never): null otherwise, and hundreds of properties need no
  // second copy of it.
  std::unique_ptr<std::string> remoteType_;
  std::string value_;
  Event<void(const Property&)> changed_;
  std::uint64_t version_ = 0;
  bool unknownLogged_ = false;
  // The length of key_ for a property made from a lasting row.
  std::uint32_t keyLength_ = 0;
  // Describes a change for the log when logChanges_ is set; neither is ever
  // set, so it stays null (an empty formatter).
  const Messages::ChangeFormatter* formatter_ = nullptr;
};

}  // namespace Orvel::State
