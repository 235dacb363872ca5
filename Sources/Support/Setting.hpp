#pragma once
// One persisted user setting and what it needs of the store that owns it. A setting keeps its
// value and hands every assignment to its store, which writes it under the setting's key and
// announces it. The services that read or write a few settings take those settings themselves, so
// they know this much of the settings store and nothing of the rest of it. Main thread only.

#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace velvix {

template <typename T>
class Setting;

class SettingStore {
 public:
  // Posted on the process's notification centre after any setting was stored.
  static constexpr const char* kChangedNotification = "PreferencesChanged";

 protected:
  ~SettingStore() = default;

 private:
  template <typename T>
  friend class Setting;
  // Told before a setting's value changes, with the setting's key.
  virtual void willChange(const std::string& key) = 0;
  // Writes the setting's stored form under its key and announces the change.
  virtual void store(const std::string& key, nlohmann::json value) = 0;
};

// ---- stored forms (a store's enumerations add their own, found beside their type)

inline nlohmann::json storedForm(bool value) {
  return value;
}
inline nlohmann::json storedForm(int value) {
  return value;
}
inline nlohmann::json storedForm(const std::vector<std::string>& value) {
  return value;
}

// Assigning a setting always stores, writes and announces, even when the value is unchanged;
// nothing is clamped on write (clamps apply when the store loads).
template <typename T>
class Setting {
 public:
  Setting(SettingStore& store, std::string key, T value)
      : store_(store), key_(std::move(key)), value_(std::move(value)) {}
  Setting(const Setting&) = delete;
  Setting& operator=(const Setting&) = delete;

  const T& get() const { return value_; }
  void set(T value) {
    store_.willChange(key_);
    value_ = std::move(value);
    store_.store(key_, storedForm(value_));
  }
  const std::string& key() const { return key_; }

 private:
  SettingStore& store_;
  std::string key_;
  T value_;
};

}  // namespace velvix
