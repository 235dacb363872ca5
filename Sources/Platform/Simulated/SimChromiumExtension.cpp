#include "Platform/Simulated/SimChromiumExtension.hpp"

#include <cerrno>

#include <sys/socket.h>
#include <unistd.h>
#include <nlohmann/json.hpp>

#include "Platform/Simulated/SimDesktop.hpp"

namespace velvix::sim {

using Json = nlohmann::json;

SimChromiumExtension::SimChromiumExtension(SimDesktop& desktop, platform::Pid browser,
                                           std::string browserName, std::string session, int fd)
    : desktop_(desktop),
      browser_(browser),
      browserName_(std::move(browserName)),
      session_(std::move(session)),
      fd_(fd) {
  report("hello", Json::object());
  tick();
  timer_ = desktop_.loop().every(kPollInterval, [this] { tick(); });
}

SimChromiumExtension::~SimChromiumExtension() {
  stop();
}

void SimChromiumExtension::stop() {
  timer_.invalidate();
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

// What changed in the browser since the last look goes out as the extension's events would.
void SimChromiumExtension::tick() {
  const SimApp* app = desktop_.app(browser_);
  if (!app || app->terminated) return stop();
  flush();
  readCommands();
  if (!isRunning()) return;
  if (auto windows = windowsText(); windows != lastWindows_) {
    lastWindows_ = windows;
    report("sync", {{"windows", Json::parse(windows)}});
  }
  const std::int64_t active = frontActiveTab();
  if (active != 0 && active != lastActiveTab_) {
    std::int64_t window = 0;
    std::size_t index = 0;
    if (find(active, window, index))
      report("activated",
             {{"tab", tabOf(window, index)}, {"windowFocused", desktop_.frontmostPid() == browser_}});
  }
  lastActiveTab_ = active;
}

void SimChromiumExtension::readCommands() {
  char buffer[8192];
  for (;;) {
    const ssize_t count = ::recv(fd_, buffer, sizeof(buffer), MSG_DONTWAIT);
    if (count == 0) return stop();  // the application closed the connection
    if (count < 0) {
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) stop();
      return;
    }
    pending_.append(buffer, static_cast<std::size_t>(count));
    for (auto end = pending_.find('\n'); end != std::string::npos; end = pending_.find('\n')) {
      const std::string line = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      handle(line);
      if (!isRunning()) return;
    }
    if (pending_.size() > kMaxPendingBytes) return stop();
  }
}

void SimChromiumExtension::handle(const std::string& line) {
  const Json command = Json::parse(line, nullptr, /*allow_exceptions=*/false);
  if (!command.is_object() || !command.contains("cmd") || !command["cmd"].is_string()) return;
  const std::string cmd = command["cmd"].get<std::string>();
  if (cmd == "sync") {
    lastWindows_ = windowsText();
    report("sync", {{"windows", Json::parse(lastWindows_)}});
    return;
  }
  std::int64_t window = 0;
  std::size_t index = 0;
  const auto tabID =
      command.value("tabId", Json()).is_number_integer() ? command["tabId"].get<std::int64_t>() : 0;
  const bool found = find(tabID, window, index);
  if (found && cmd == "activate") {
    desktop_.activateTab(window, index);
    desktop_.raiseWindow(window);
  } else if (found && cmd == "close") {
    desktop_.closeTab(window, index);
    report("removed", {{"tabId", tabID}});
  }
  report("cmdresult", {{"cmd", cmd}, {"ok", found && (cmd == "activate" || cmd == "close")}});
}

void SimChromiumExtension::report(const std::string& event, Json values) {
  if (fd_ < 0) return;
  values["browser"] = browserName_;
  values["event"] = event;
  values["session"] = session_;
  outbox_ += values.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
  // The application reads on its own thread; one that has let this much pile up is gone or stuck.
  if (outbox_.size() > kMaxPendingBytes) return stop();
  flush();
}

void SimChromiumExtension::flush() {
  while (fd_ >= 0 && !outbox_.empty()) {
    const ssize_t count = ::send(fd_, outbox_.data(), outbox_.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;  // the rest at the next tick
    if (count <= 0) return stop();
    outbox_.erase(0, static_cast<std::size_t>(count));
  }
}

std::string SimChromiumExtension::windowsText() const {
  Json windows = Json::array();
  for (std::int64_t number : desktop_.windowsOf(browser_)) {
    const SimWindow* window = desktop_.window(number);
    if (!window || window->tabs.empty()) continue;
    Json tabs = Json::array();
    for (std::size_t i = 0; i < window->tabs.size(); ++i) tabs.push_back(tabOf(number, i));
    windows.push_back({{"windowId", number},
                       {"focused", desktop_.frontmostPid() == browser_ && windows.empty()},
                       {"tabs", std::move(tabs)}});
  }
  return windows.dump(-1, ' ', false, Json::error_handler_t::replace);
}

Json SimChromiumExtension::tabOf(std::int64_t number, std::size_t index) const {
  const SimWindow* window = desktop_.window(number);
  const SimTab& tab = window->tabs[index];
  Json value{{"tabId", tab.id},
             {"windowId", number},
             {"index", index},
             {"title", tab.title},
             {"url", tab.url},
             {"active", index == window->activeTab},
             {"isPrivate", window->isPrivate}};
  if (tab.favIconURL) value["favIconUrl"] = *tab.favIconURL;
  return value;
}

bool SimChromiumExtension::find(std::int64_t tabID, std::int64_t& window, std::size_t& index) const {
  for (std::int64_t number : desktop_.windowsOf(browser_)) {
    const SimWindow* w = desktop_.window(number);
    if (!w) continue;
    for (std::size_t i = 0; i < w->tabs.size(); ++i)
      if (w->tabs[i].id == tabID) {
        window = number;
        index = i;
        return true;
      }
  }
  return false;
}

std::int64_t SimChromiumExtension::frontActiveTab() const {
  for (std::int64_t number : desktop_.windowsOf(browser_)) {
    const SimWindow* window = desktop_.window(number);
    if (window && !window->tabs.empty() && window->activeTab < window->tabs.size())
      return window->tabs[window->activeTab].id;
  }
  return 0;
}

}  // namespace velvix::sim
