#include "UI/ChromeSetupPresenter.hpp"

#include "Platform/MainLoop.hpp"
#include "Platform/Qt/SimScreenLayer.hpp"
#include "Platform/Screens.hpp"
#include "UI/ChromeSetupCard.hpp"
#include "UI/PanelWindow.hpp"

namespace velvix {

struct ChromeSetupPresenter::Card {
  // The card on the simulated screen; `widget` is its content.
  explicit Card(platform::ScreenPlacement* placement) {
    auto card = std::make_unique<ChromeSetupCard>();
    widget = card.get();
    panel = std::make_unique<PanelWindow>(std::move(card), placement, qt::SimScreenLayer::kFloatingLevel);
  }
  ChromeSetupCard* widget;
  std::unique_ptr<PanelWindow> panel;
};

ChromeSetupPresenter::ChromeSetupPresenter(ChromeAutoInstaller::Collaborators installer,
                                           platform::Screens& screens, platform::MainLoop& loop,
                                           platform::ScreenPlacement* const& placement,
                                           std::function<InputLock*()> inputLock)
    : screens_(screens),
      loop_(loop),
      placement_(placement),
      inputLock_(std::move(inputLock)),
      installer_(std::move(installer)) {}

ChromeSetupPresenter::~ChromeSetupPresenter() = default;

bool ChromeSetupPresenter::isCardShown() const {
  return card_ && card_->panel->isVisible();
}

Rect ChromeSetupPresenter::cardFrame() const {
  return card_ ? frame_ : Rect{};
}

void ChromeSetupPresenter::start() {
  if (running_) return show(phase_);  // one run at a time; its card comes back
  running_ = true;
  show(ChromeSetupPhase::working());
  installer_.run(inputLock_ ? inputLock_() : nullptr,
                 [this, watch = alive_.watch()](const ChromeAutoInstaller::Outcome& outcome) {
                   if (!watch.expired()) completed(outcome);
                 });
}

void ChromeSetupPresenter::completed(const ChromeAutoInstaller::Outcome& outcome) {
  running_ = false;
  const ChromeSetupPhase shown = ChromeSetupPhase::of(outcome);
  show(shown);
  if (shown.kind != ChromeSetupPhase::Kind::done) return;
  loop_.postAfter(kDoneCloseDelay, [this, watch = alive_.watch(), shown] {
    if (!watch.expired() && phase_ == shown) dismiss();
  });
}

void ChromeSetupPresenter::dismiss() {
  if (card_) card_->panel->hide();
  card_.reset();
}

void ChromeSetupPresenter::show(const ChromeSetupPhase& phase) {
  phase_ = phase;
  if (!card_) {
    card_ = std::make_unique<Card>(placement_);
    card_->widget->onRetry = [this, watch = alive_.watch()] {
      if (!watch.expired()) retry();
    };
    card_->widget->onDismiss = [this, watch = alive_.watch()] {
      if (!watch.expired())
        loop_.post([this, watch] {
          if (!watch.expired()) dismiss();
        });
    };
  }
  card_->widget->setPhase(phase);
  const QSize size = card_->widget->size();
  // Centred, its top edge 12 % of the visible height below the top of the main screen; without a
  // screen it stays where it was.
  const auto screens = screens_.screens();
  if (!screens.empty()) {
    const Rect visible = screens.front().visibleFrame;
    frame_ = {visible.midX() - size.width() / 2.0, visible.y + kTopOffset * visible.height,
              double(size.width()), double(size.height())};
  } else {
    frame_.width = size.width();
    frame_.height = size.height();
  }
  card_->panel->place(frame_);
  card_->panel->show();  // without activating the application or taking the focus
}

}  // namespace velvix
