#pragma once
// The general pasteboard (the clipboard), as far as the system uses it: one plain text.

#include <optional>
#include <string>

namespace velvix::platform {

class Pasteboard {
 public:
  virtual ~Pasteboard() = default;
  // Clears the pasteboard and puts `text` on it.
  virtual void setString(const std::string& text) = 0;
  virtual std::optional<std::string> string() const = 0;
};

}  // namespace velvix::platform
