#pragma once
// The per-user key-value store of the application: a registration domain of defaults under the
// user's own values, loosely typed values (JSON), and typed reads that fall back the way the
// settings code expects when a stored value has the wrong type. Safe to call from any thread.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace velvix::platform {

class UserDefaults {
 public:
  using Value = nlohmann::json;
  virtual ~UserDefaults() = default;

  // Adds the keys of `dictionary` (a JSON object) to the registration domain. Registered values
  // answer reads of keys the user never stored; they are never persisted.
  virtual void registerDefaults(const Value& dictionary) = 0;
  // The user's value, else the registered one, else nothing.
  virtual std::optional<Value> object(const std::string& key) const = 0;
  // Whether the user's own domain holds the key (a registered default does not count).
  virtual bool hasUserValue(const std::string& key) const = 0;
  virtual void set(const std::string& key, Value value) = 0;
  virtual void remove(const std::string& key) = 0;

  // Typed reads over object():
  // whole numbers as they are, other numbers truncated, Booleans as 0/1, decimal text parsed;
  // anything else (or nothing) reads 0.
  std::int64_t integer(const std::string& key) const;
  // true for true, non-zero numbers and the texts "true"/"yes" (any case) or a non-zero number.
  bool boolean(const std::string& key) const;
  // text as it is, numbers in decimal; anything else reads nothing.
  std::optional<std::string> string(const std::string& key) const;
  // only an array whose every element is text; anything else reads nothing.
  std::optional<std::vector<std::string>> stringArray(const std::string& key) const;
};

}  // namespace velvix::platform
