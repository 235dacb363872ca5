#pragma once
// The attached keyboards, as the device registry lists them.

#include <optional>
#include <string>
#include <vector>

namespace velvix::platform {

class KeyboardRegistry {
 public:
  virtual ~KeyboardRegistry() = default;
  // Product names (nothing for a keyboard without one); nothing when the registry cannot be read.
  virtual std::optional<std::vector<std::optional<std::string>>> keyboards() const = 0;
};

}  // namespace velvix::platform
