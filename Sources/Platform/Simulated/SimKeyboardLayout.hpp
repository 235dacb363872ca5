#pragma once
// The keyboard layout of the simulated desktop: US by default; tests may switch to a layout whose
// letters sit on other keys, or to one without translation data.

#include <map>

#include "Platform/KeyboardLayout.hpp"

namespace velvix::sim {

class SimKeyboardLayout final : public platform::KeyboardLayout {
 public:
  SimKeyboardLayout();
  std::optional<std::string> character(std::int64_t keyCode) const override;

  // The letters of the Dvorak layout on the US keys (g on the US "u" key, r on "o").
  void useDvorak();

 private:
  std::map<std::int64_t, std::string> keys_;
};

}  // namespace velvix::sim
