#pragma once
// The general pasteboard of the simulated desktop: one text, kept in memory.

#include "Platform/Pasteboard.hpp"

namespace velvix::sim {

class SimPasteboard final : public platform::Pasteboard {
 public:
  void setString(const std::string& text) override { text_ = text; }
  std::optional<std::string> string() const override { return text_; }

 private:
  std::optional<std::string> text_;
};

}  // namespace velvix::sim
