#pragma once
// Code-signing information of this running program: the subject summaries of its signing
// certificate chain, leaf first. Nothing for an unsigned or ad-hoc signed build.

#include <optional>
#include <string>
#include <vector>

namespace velvix::platform {

class CodeSigning {
 public:
  virtual ~CodeSigning() = default;
  virtual std::optional<std::vector<std::string>> certificateSummaries() const = 0;
};

}  // namespace velvix::platform
