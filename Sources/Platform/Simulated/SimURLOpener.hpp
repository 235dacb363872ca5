#pragma once
// Opening addresses on the simulated desktop: the default web browser is the installed
// application the desktop names (none by default); opening an address with an application
// launches it when needed, and a Chromium-family browser asked for its extensions page shows it.

#include <string>

#include "Platform/URLOpener.hpp"

namespace velvix::sim {

class SimDesktop;

class SimURLOpener final : public platform::URLOpener {
 public:
  explicit SimURLOpener(SimDesktop& desktop) : desktop_(desktop) {}

  std::optional<std::string> defaultApplicationPath(const std::string& url) const override;
  void open(const std::string& url, const std::string& applicationPath, bool activates,
            std::function<void(std::optional<std::string> error)> completion) override;

  // The bundle identifier of the default web browser (an installed application), or empty.
  std::string defaultBrowser;
  bool opensFail = false;  // every open reports an error

 private:
  SimDesktop& desktop_;
};

}  // namespace velvix::sim
