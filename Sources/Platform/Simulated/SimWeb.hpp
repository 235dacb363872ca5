#pragma once
// The web as the program on the simulated desktop reaches it: the site icons of the pages the
// simulated browsers show come from the simulation (each host's "/favicon.ico" a picture of its
// own), and every other address goes to the real client. So the program touches the network
// only when a real page asks, and the sample's made-up hosts still show their icons offline.

#include <functional>
#include <memory>
#include <string>

#include "Platform/HttpClient.hpp"
#include "Platform/Simulated/SimHttpClient.hpp"

namespace velvix::platform {
class MainLoop;
}

namespace velvix::sim {

class SimDesktop;

class SimWeb final : public platform::HttpClient {
 public:
  // The bytes of an icon file for a host (a PNG, say); an empty answer serves none.
  using IconFile = std::function<std::string(const std::string& host)>;

  SimWeb(platform::MainLoop& loop, std::unique_ptr<platform::HttpClient> real);

  // The site icon of every web host among the desktop's tabs now is `icon` of that host.
  void serveSiteIcons(const SimDesktop& desktop, const IconFile& icon);
  // The host of an "http(s)://" address ("" for anything else).
  static std::string hostOf(const std::string& url);

  std::unique_ptr<platform::HttpTask> get(const platform::HttpRequest& request,
                                          std::function<void(platform::HttpResponse)> completion) override;
  SimHttpClient& simulated() { return simulated_; }

 private:
  SimHttpClient simulated_;
  std::unique_ptr<platform::HttpClient> real_;
};

}  // namespace velvix::sim
