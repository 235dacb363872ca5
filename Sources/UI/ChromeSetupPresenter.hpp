#pragma once
// The one entry point of the automatic Chromium extension set-up and its progress card: starts a
// run of the auto-installer (or brings back the card of the run under way), shows each phase on a
// floating card near the top of the main screen, closes the card itself 1.8 s after success, and
// offers "Close" and "Try Again" after a failure or a stop. Main loop only.

#include <functional>
#include <memory>

#include "Platform/Geometry.hpp"
#include "Support/AliveToken.hpp"
#include "Support/ChromeAutoInstaller.hpp"
#include "UI/ChromeSetupPhase.hpp"

namespace velvix {

class InputLock;
namespace platform {
class MainLoop;
class ScreenPlacement;
class Screens;
}  // namespace platform

class ChromeSetupPresenter {
 public:
  static constexpr double kDoneCloseDelay = 1.8;
  static constexpr double kTopOffset = 0.12;  // of the visible height, above the card

  // Owns the auto-installer built over `installer`. The card is centred on the first of `screens`
  // and closed on `loop`; `placement` is the slot of where panels appear on the display, read when
  // the card is made (the view that places them may come after this), or none. `inputLock` gives the
  // application's running event tap, which can hold the user's input, or none.
  ChromeSetupPresenter(ChromeAutoInstaller::Collaborators installer, platform::Screens& screens,
                       platform::MainLoop& loop, platform::ScreenPlacement* const& placement,
                       std::function<InputLock*()> inputLock);
  ~ChromeSetupPresenter();
  ChromeSetupPresenter(const ChromeSetupPresenter&) = delete;
  ChromeSetupPresenter& operator=(const ChromeSetupPresenter&) = delete;

  void start();
  // The card's buttons.
  void dismiss();
  void retry() { start(); }

  const ChromeSetupPhase& phase() const { return phase_; }
  bool isRunning() const { return running_; }
  bool isCardShown() const;
  // Where the card is, on the simulated screen.
  Rect cardFrame() const;
  ChromeAutoInstaller& installer() { return installer_; }

 private:
  void show(const ChromeSetupPhase& phase);
  void completed(const ChromeAutoInstaller::Outcome& outcome);

  struct Card;
  platform::Screens& screens_;
  platform::MainLoop& loop_;
  platform::ScreenPlacement* const& placement_;
  std::function<InputLock*()> inputLock_;
  ChromeAutoInstaller installer_;
  std::unique_ptr<Card> card_;
  ChromeSetupPhase phase_;
  bool running_ = false;
  Rect frame_;
  AliveToken alive_;
};

}  // namespace velvix
