#pragma once
// Opening addresses with applications: which application opens an address by default (the
// default web browser for an https address), and opening an address with a chosen application.

#include <functional>
#include <optional>
#include <string>

namespace velvix::platform {

class URLOpener {
 public:
  virtual ~URLOpener() = default;
  // The path of the application that opens `url` by default, or nothing.
  virtual std::optional<std::string> defaultApplicationPath(const std::string& url) const = 0;
  // Opens `url` with the application at `applicationPath` (launching it when needed); the
  // completion gets nothing on success, else the error's description. Called on the main loop.
  virtual void open(const std::string& url, const std::string& applicationPath, bool activates,
                    std::function<void(std::optional<std::string> error)> completion) = 0;
};

}  // namespace velvix::platform
