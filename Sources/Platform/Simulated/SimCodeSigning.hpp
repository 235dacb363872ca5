#pragma once
// Code signing of the simulated program, Velvix itself: a chain that tests set; unsigned by
// default, as a build on this machine is.

#include "Platform/CodeSigning.hpp"

namespace velvix::sim {

class SimCodeSigning final : public platform::CodeSigning {
 public:
  std::optional<std::vector<std::string>> certificateSummaries() const override { return chain; }
  std::optional<std::vector<std::string>> chain;
};

}  // namespace velvix::sim
