#include "Platform/Simulated/SimWeb.hpp"

#include <utility>

#include "Platform/Simulated/SimDesktop.hpp"

namespace velvix::sim {

SimWeb::SimWeb(platform::MainLoop& loop, std::unique_ptr<platform::HttpClient> real)
    : simulated_(loop), real_(std::move(real)) {}

std::string SimWeb::hostOf(const std::string& url) {
  std::string rest;
  for (const char* scheme : {"https://", "http://"})
    if (url.starts_with(scheme)) rest = url.substr(std::string(scheme).size());
  rest = rest.substr(0, rest.find_first_of("/?#"));
  if (const auto at = rest.rfind('@'); at != std::string::npos) rest = rest.substr(at + 1);
  return rest.substr(0, rest.find(':'));
}

void SimWeb::serveSiteIcons(const SimDesktop& desktop, const IconFile& icon) {
  for (const SimApp* app : desktop.apps())
    for (auto number : desktop.windowsOf(app->pid))
      if (const SimWindow* window = std::as_const(desktop).window(number))
        for (const auto& tab : window->tabs) {
          const std::string host = hostOf(tab.url);
          if (host.empty()) continue;
          const std::string address = "https://" + host + "/favicon.ico";
          if (simulated_.serves(address)) continue;
          if (std::string body = icon(host); !body.empty())
            simulated_.serve(address, {.body = std::move(body)});
        }
}

std::unique_ptr<platform::HttpTask> SimWeb::get(const platform::HttpRequest& request,
                                                std::function<void(platform::HttpResponse)> completion) {
  if (simulated_.serves(request.url) || !real_) return simulated_.get(request, std::move(completion));
  return real_->get(request, std::move(completion));
}

}  // namespace velvix::sim
