#pragma once
// What kind of build is running: whether it is signed with a distribution ("Developer ID
// Application") certificate, which the set-up window's wording depends on; it is worked out once.

#include <mutex>
#include <optional>

namespace velvix {
namespace platform {
class CodeSigning;
}

class BuildInfo {
 public:
  explicit BuildInfo(const platform::CodeSigning& signing) : signing_(signing) {}
  bool isDeveloperIDSigned() const;

 private:
  const platform::CodeSigning& signing_;
  mutable std::once_flag once_;
  mutable bool developerID_ = false;
};

}  // namespace velvix
