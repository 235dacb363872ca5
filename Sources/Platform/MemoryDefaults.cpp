#include "Platform/MemoryDefaults.hpp"

namespace velvix::platform {

MemoryDefaults::MemoryDefaults(Value userValues) {
  if (!userValues.is_object()) return;
  for (auto& [key, value] : userValues.items()) user_[key] = value;
}

void MemoryDefaults::registerDefaults(const Value& dictionary) {
  if (!dictionary.is_object()) return;
  std::lock_guard lock(mutex_);
  for (const auto& [key, value] : dictionary.items()) registered_[key] = value;
}

std::optional<platform::UserDefaults::Value> MemoryDefaults::object(const std::string& key) const {
  std::lock_guard lock(mutex_);
  if (auto it = user_.find(key); it != user_.end()) return it->second;
  if (auto it = registered_.find(key); it != registered_.end()) return it->second;
  return std::nullopt;
}

bool MemoryDefaults::hasUserValue(const std::string& key) const {
  std::lock_guard lock(mutex_);
  return user_.contains(key);
}

void MemoryDefaults::set(const std::string& key, Value value) {
  std::lock_guard lock(mutex_);
  user_[key] = std::move(value);
  userValuesChanged(user_);
}

void MemoryDefaults::remove(const std::string& key) {
  std::lock_guard lock(mutex_);
  if (user_.erase(key) > 0) userValuesChanged(user_);
}

platform::UserDefaults::Value MemoryDefaults::userValues() const {
  std::lock_guard lock(mutex_);
  Value result = Value::object();
  for (const auto& [key, value] : user_) result[key] = value;
  return result;
}

}  // namespace velvix::platform
