// The Dock controller's peek: while the pointer rests on a card, the window's still over the
// window's own place, then a full-resolution capture and, for a window on screen, live frames.
// Pictures that arrive after the peek moved on are dropped.

#include "Core/DockController.hpp"
#include "Core/Services.hpp"
#include "Core/ThumbnailStore.hpp"
#include "Platform/Screens.hpp"

namespace velvix {

void DockController::endPeek(bool immediate) {
  peekHideWork_.invalidate();
  peeked_.reset();
  ++peekGeneration_;
  peekStream_.onFrame = nullptr;
  peekStream_.stop();
  if (immediate) {
    peekPanel_.hideImmediately();
  } else {
    peekPanel_.hide();
  }
}

void DockController::schedulePeekHide() {
  if (!peeked_) return;
  auto watch = alive_.watch();
  peekHideWork_ = services_.loop->after(kPeekHideDelay, [this, watch] {
    if (watch.expired()) return;
    endPeek(false);
  });
}

std::optional<platform::ScreenInfo> DockController::screenForPeek() const {
  const auto screens = services_.screens->screens();
  if (current_)
    for (const auto& s : screens)
      if (s.frame.intersects(current_->iconFrame)) return s;
  if (screens.empty()) return std::nullopt;
  return screens.front();
}

void DockController::peek(std::optional<std::int64_t> windowNumber) {
  peekHideWork_.invalidate();
  if (!windowNumber || !current_) {
    schedulePeekHide();
    return;
  }
  const std::int64_t number = *windowNumber;
  if (peeked_ == number) return;
  peeked_ = number;
  ++peekGeneration_;
  peekStream_.stop();

  const WindowList::Info* entry = nullptr;
  for (const auto& w : current_->windows)
    if (w.windowNumber == number) {
      entry = &w;
      break;
    }
  ThumbnailStore& store = *services_.thumbnails;
  const auto* still = store.entry(key(current_->bundleID, number));
  if (!still) {
    peekPanel_.hide();
    return;
  }
  const Rect bounds = entry ? entry->bounds : Rect{};
  const bool onScreen = entry && entry->isOnScreen;
  peekPanel_.show(still->image, bounds, screenForPeek());
  if (!store.isAvailable()) return;

  // Sharper pictures replace the still only while this very peek lasts and its panel is up.
  auto watch = alive_.watch();
  const std::uint64_t generation = peekGeneration_;
  auto stillPeeked = [this, watch, number, generation] {
    return !watch.expired() && peeked_ == number && peekGeneration_ == generation && peekPanel_.isVisible();
  };
  store.captureAtWindowScale(number, [this, stillPeeked](std::optional<RGBAImage> image) {
    if (image && stillPeeked()) peekPanel_.setImage(*image);
  });
  if (onScreen) {
    peekStream_.onFrame = [this, stillPeeked](const RGBAImage& frame) {
      if (stillPeeked()) peekPanel_.setImage(frame);
    };
    peekStream_.start(number, std::max(bounds.width, 1.0));
  }
}

}  // namespace velvix
