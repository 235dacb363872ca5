#pragma once
// Safari's side of its extensions that this program reaches: opening Safari's settings at one
// extension. The result is not reported; whatever the user does there shows up later.

#include <string>

namespace velvix::platform {

class SafariExtensions {
 public:
  virtual ~SafariExtensions() = default;
  virtual void showPreferencesForExtension(const std::string& identifier) = 0;
};

}  // namespace velvix::platform
