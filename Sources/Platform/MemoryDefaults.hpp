#pragma once
// User defaults held in memory: the registration domain under the user's own values.
// Tests and the simulation use it directly; the real program's file-backed store builds on it.

#include <map>
#include <mutex>

#include "Platform/UserDefaults.hpp"

namespace velvix::platform {

class MemoryDefaults : public platform::UserDefaults {
 public:
  MemoryDefaults() = default;
  explicit MemoryDefaults(Value userValues);

  void registerDefaults(const Value& dictionary) override;
  std::optional<Value> object(const std::string& key) const override;
  bool hasUserValue(const std::string& key) const override;
  void set(const std::string& key, Value value) override;
  void remove(const std::string& key) override;

  // The user's own domain as one JSON object.
  Value userValues() const;

 protected:
  // Called after each change of the user's domain, with the lock held and the new contents.
  virtual void userValuesChanged(const std::map<std::string, Value>& values) {}

 private:
  mutable std::mutex mutex_;
  std::map<std::string, Value> registered_;
  std::map<std::string, Value> user_;
};

}  // namespace velvix::platform
