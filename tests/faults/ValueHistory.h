// Every value that the watched properties of a property client take, in the
// order the client applied them, with waits for a value to arrive.
#pragma once
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "ServerProcess.h"
#include "property/Property.h"

namespace Orvel::Test {

class ValueHistory {
 public:
  explicit ValueHistory(std::set<std::string> keys) : keys_(std::move(keys)) {}

  // A listener for onPropertyChanged and Property::onChanged.
  void record(const State::Property& property) {
    if (keys_.count(property.getKey()) == 0) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      values_[property.getKey()].push_back(property.getStringValue());
    }
    changed_.notify_all();
  }

  // Waits until the key's latest value is value.
  bool waitForValue(const std::string& key, const std::string& value,
                    std::chrono::milliseconds bound = kFaultBound) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, bound, [&] {
      const auto found = values_.find(key);
      return found != values_.end() && !found->second.empty() && found->second.back() == value;
    });
  }

  std::vector<std::string> values(const std::string& key) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = values_.find(key);
    return found == values_.end() ? std::vector<std::string>() : found->second;
  }

 private:
  const std::set<std::string> keys_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::map<std::string, std::vector<std::string>> values_;
};

}  // namespace Orvel::Test
