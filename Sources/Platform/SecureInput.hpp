#pragma once
// Secure event input: while a password field (or a program that asks for it) holds it, key-downs
// are hidden from event taps and no window may be captured.

#include <optional>

#include "Platform/Workspace.hpp"

namespace velvix::platform {

class SecureInput {
 public:
  virtual ~SecureInput() = default;
  virtual bool isEnabled() const = 0;
  // The process that holds it, when known.
  virtual std::optional<Pid> holder() const = 0;
};

}  // namespace velvix::platform
