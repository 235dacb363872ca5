#include "Platform/Simulated/SimURLOpener.hpp"

#include "Platform/Simulated/SimDesktop.hpp"
#include "Platform/Simulated/SimExtensionsPage.hpp"

namespace velvix::sim {

std::optional<std::string> SimURLOpener::defaultApplicationPath(const std::string& url) const {
  if (defaultBrowser.empty() || !(url.starts_with("https:") || url.starts_with("http:"))) return std::nullopt;
  for (const InstalledApp& app : desktop_.installed())
    if (app.bundleID == defaultBrowser) return app.path;
  return std::nullopt;
}

void SimURLOpener::open(const std::string& url, const std::string& applicationPath, bool activates,
                        std::function<void(std::optional<std::string>)> completion) {
  std::optional<std::string> error;
  if (opensFail) {
    error = "The application cannot open the address.";
  } else if (auto pid = desktop_.open(applicationPath, activates)) {
    desktop_.openedURLs.push_back(url);
    if (url == SimExtensionsPage::kAddress) desktop_.extensionsPage().open(*pid);
  } else {
    error = "The application \u201C" + applicationPath + "\u201D cannot be opened.";
  }
  desktop_.loop().post([completion = std::move(completion), error] { completion(error); });
}

}  // namespace velvix::sim
