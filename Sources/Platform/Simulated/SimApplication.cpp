#include "Platform/Simulated/SimApplication.hpp"

#include <utility>

#include "Platform/Simulated/SimDesktop.hpp"

namespace velvix::sim {

void SimApplication::activate(bool) {
  desktop_.activate(desktop_.selfPid());
}

void SimApplication::deactivate() {
  ++deactivations;
  desktop_.deactivate(desktop_.selfPid());
}

void SimApplication::terminate() {
  ++terminateRequests;
  if (onTerminate) onTerminate();
}

std::vector<platform::Application::OwnWindow> SimApplication::windows() const {
  std::vector<OwnWindow> result;
  for (auto number : desktop_.windowsOf(desktop_.selfPid())) {
    const SimWindow* w = std::as_const(desktop_).window(number);
    result.push_back({number, w->minimized, !w->minimized});
  }
  return result;
}

std::optional<std::int64_t> SimApplication::panel(const std::string& title) const {
  auto it = panels_.find(title);
  if (it != panels_.end() && std::as_const(desktop_).window(it->second)) return it->second;
  return std::nullopt;
}

std::int64_t SimApplication::orderFrontPanel(const std::string& title, const std::string& message) {
  auto number = panel(title);
  if (!number) number = panels_[title] = createWindow(title, {560, 300, 320, 200});
  if (SimWindow* w = desktop_.window(*number)) w->message = message;
  makeKeyAndOrderFront(*number);
  return *number;
}

void SimApplication::orderFrontStandardAboutPanel() {
  orderFrontPanel("About Velvix", aboutMessage);
  if (presentAbout) presentAbout();
}

void SimApplication::hide() {
  ++hides;
  // Its windows leave the screen until it is activated again, as a hidden application's do.
  if (SimApp* self = desktop_.app(desktop_.selfPid())) self->hidden = true;
  desktop_.deactivate(desktop_.selfPid());
  // The application of the front window left on the screen comes in front, as on the system.
  for (auto number : desktop_.stackingOrder())
    if (const SimWindow* w = desktop_.window(number);
        w && w->owner != desktop_.selfPid() && w->layer == 0 && desktop_.isOnScreen(*w)) {
      desktop_.activate(w->owner);
      return;
    }
}

void SimApplication::deminiaturize(std::int64_t window) {
  desktop_.setMinimized(window, false);
}

void SimApplication::makeKeyAndOrderFront(std::int64_t window) {
  if (const SimWindow* w = std::as_const(desktop_).window(window); w && w->owner == desktop_.selfPid()) {
    desktop_.setMinimized(window, false);
    desktop_.raiseWindow(window);
  }
}

std::int64_t SimApplication::createWindow(const std::string& title, Rect frame) {
  auto number = desktop_.addWindow(desktop_.selfPid(), {.title = title, .bounds = frame, .minimized = true});
  return number;
}

void SimApplication::closeWindow(std::int64_t window) {
  if (const SimWindow* w = std::as_const(desktop_).window(window); w && w->owner == desktop_.selfPid())
    desktop_.closeWindow(window);
}

void SimApplication::miniaturize(std::int64_t window) {
  if (const SimWindow* w = std::as_const(desktop_).window(window); w && w->owner == desktop_.selfPid())
    desktop_.setMinimized(window, true);
}

std::optional<Rect> SimApplication::windowFrame(std::int64_t window) const {
  const SimWindow* w = std::as_const(desktop_).window(window);
  return w && w->owner == desktop_.selfPid() ? std::optional<Rect>(w->bounds) : std::nullopt;
}

void SimApplication::setWindowFrame(std::int64_t window, const Rect& frame) {
  if (SimWindow* w = desktop_.window(window); w && w->owner == desktop_.selfPid()) w->bounds = frame;
}

std::optional<std::string> SimApplication::windowTitle(std::int64_t window) const {
  const SimWindow* w = std::as_const(desktop_).window(window);
  return w ? w->title : std::nullopt;
}

void SimApplication::setBecameKeyHandler(std::int64_t window, std::function<void()> handler) {
  if (handler)
    becameKey_[window] = std::move(handler);
  else
    becameKey_.erase(window);
}

std::optional<std::int64_t> SimApplication::keyWindow() const {
  if (desktop_.selfPid() == 0 || desktop_.frontmostPid() != desktop_.selfPid()) return std::nullopt;
  for (auto number : desktop_.windowsOf(desktop_.selfPid()))
    if (const SimWindow* w = std::as_const(desktop_).window(number); w && !w->minimized && w->layer == 0)
      return number;
  return std::nullopt;
}

void SimApplication::noteKeyWindow() {
  const auto key = keyWindow();
  if (key == lastKey_) return;
  lastKey_ = key;
  if (!key) return;
  desktop_.loop().post([this, number = *key] {
    // Only while it is still key, and only if someone listens.
    if (keyWindow() != number) return;
    if (auto it = becameKey_.find(number); it != becameKey_.end() && it->second) it->second();
  });
}

int SimApplication::runAlert(const std::string& message, const std::string& informativeText,
                             const std::vector<std::string>& buttons) {
  alertsShown.push_back(message);
  if (presentModal) return presentModal({message, informativeText, buttons});
  return alertAnswer;
}

void SimApplication::showAlert(const std::string& message, const std::string& informativeText,
                               const std::vector<std::string>& buttons, std::function<void(int)> answer) {
  alertsShown.push_back(message);
  if (present) {
    present({message, informativeText, buttons}, std::move(answer));
    return;
  }
  openAlertAnswer_ = std::move(answer);
}

bool SimApplication::answerAlert(int button) {
  if (!openAlertAnswer_) return false;
  auto answer = std::move(openAlertAnswer_);
  openAlertAnswer_ = nullptr;
  desktop_.loop().post([answer = std::move(answer), button] { answer(button); });
  return true;
}

bool SimApplication::isActive() const {
  return desktop_.frontmostPid() == desktop_.selfPid();
}

}  // namespace velvix::sim
