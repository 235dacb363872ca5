#pragma once
// This program's application object on the simulated desktop.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Application.hpp"

namespace velvix::sim {

class SimDesktop;

class SimApplication final : public platform::Application {
 public:
  explicit SimApplication(SimDesktop& desktop) : desktop_(desktop) {}

  void activate(bool ignoringOtherApps) override;
  void deactivate() override;
  void terminate() override;
  bool isActive() const override;
  void orderFrontStandardAboutPanel() override;
  void hide() override;
  // The About panel's window while it is open.
  std::optional<std::int64_t> aboutPanel() const { return panel("About Velvix"); }
  // A panel of the program's own (About, the updater's), made once, brought to the front, showing
  // `message`; and its window while it is open.
  std::int64_t orderFrontPanel(const std::string& title, const std::string& message = "");
  std::optional<std::int64_t> panel(const std::string& title) const;
  // Where one of its windows is on the simulated screen, and moving it (to where it is shown).
  std::optional<Rect> windowFrame(std::int64_t window) const;
  void setWindowFrame(std::int64_t window, const Rect& frame);
  // How the program shows the About panel to a person, besides its window on the desktop, and
  // what that window says.
  std::function<void()> presentAbout;
  std::string aboutMessage;
  std::vector<OwnWindow> windows() const override;
  void deminiaturize(std::int64_t window) override;
  void makeKeyAndOrderFront(std::int64_t window) override;
  std::int64_t createWindow(const std::string& title, Rect frame) override;
  void closeWindow(std::int64_t window) override;
  void miniaturize(std::int64_t window) override;
  std::optional<std::string> windowTitle(std::int64_t window) const override;
  void setBecameKeyHandler(std::int64_t window, std::function<void()> handler) override;
  // The desktop calls this after every change of activation or stacking: a new key window hears
  // of it on the loop's next turn.
  void noteKeyWindow();
  std::optional<std::int64_t> keyWindow() const override;
  QuitReason currentQuitReason() const override { return quitReason; }
  int runAlert(const std::string& message, const std::string& informativeText,
               const std::vector<std::string>& buttons) override;
  void showAlert(const std::string& message, const std::string& informativeText,
                 const std::vector<std::string>& buttons, std::function<void(int)> answer) override;
  // The simulated user picks a button of the open non-modal alert; false when none is open.
  bool answerAlert(int button);

  // How the program shows alerts to a person (a dialog over the simulated desktop window). Without
  // them, a modal alert is answered with `alertAnswer` and a non-modal one waits for answerAlert.
  struct AlertText {
    std::string message;
    std::string informativeText;
    std::vector<std::string> buttons;
  };
  std::function<int(const AlertText&)> presentModal;
  // Takes the modal alert in front away unanswered (its runAlert returns -1): the program is
  // quitting for the system and nobody may be waited for.
  std::function<void()> dismissModal;
  void dismissModalAlert() {
    if (dismissModal) dismissModal();
  }
  std::function<void(const AlertText&, std::function<void(int)>)> present;

  QuitReason quitReason = QuitReason::user;
  // Alerts shown, and the button index the simulated user picks.
  std::vector<std::string> alertsShown;
  int alertAnswer = 0;

  int deactivations = 0;
  int hides = 0;
  int terminateRequests = 0;
  // What the composition root does when the application is asked to terminate.
  std::function<void()> onTerminate;

 private:
  SimDesktop& desktop_;
  std::function<void(int)> openAlertAnswer_;
  std::map<std::int64_t, std::function<void()>> becameKey_;
  std::optional<std::int64_t> lastKey_;
  std::map<std::string, std::int64_t> panels_;
};

}  // namespace velvix::sim
