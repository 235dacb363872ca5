#pragma once
// What the Dock controller asks of the two panels it puts on screen: the row of window cards above
// a Dock icon, and the peek of one window over its place. The controller decides when and what;
// the panels themselves are drawn by the UI (DockPreviewPanel, WindowPeekPanel), which the
// composition root builds and hands to it, so the controller's folder does not reach up into the
// drawing code.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Geometry.hpp"
#include "Platform/RGBAImage.hpp"
#include "Platform/Screens.hpp"

namespace velvix {

// One card: a window of the hovered application, with its cached still when there is one.
struct DockCard {
  std::int64_t windowNumber = 0;
  std::optional<RGBAImage> image;
  std::string title;
  bool isMinimized = false;
};

class DockCardsView {
 public:
  virtual ~DockCardsView() = default;

  // The pointer entered a card (its window number) or left them all (none).
  std::function<void(std::optional<std::int64_t>)> onHover;

  // Shows the cards above `icon`, sliding in when `animated`.
  virtual void show(const std::vector<DockCard>& cards, const Rect& icon, bool animated,
                    std::function<void(std::int64_t)> onSelect,
                    std::function<void(std::int64_t)> onClose) = 0;
  virtual void hide() = 0;
  virtual bool isVisible() const = 0;
  virtual std::optional<Rect> frame() const = 0;
};

class WindowPeekView {
 public:
  virtual ~WindowPeekView() = default;

  // Shows the picture over `windowBounds`, or centred on `screen` when the bounds are unusable.
  virtual void show(const RGBAImage& image, const Rect& windowBounds,
                    std::optional<platform::ScreenInfo> screen) = 0;
  // Replaces the picture shown, where it is.
  virtual void setImage(const RGBAImage& image) = 0;
  // Fades out, then hides, unless a show comes first.
  virtual void hide() = 0;
  virtual void hideImmediately() = 0;
  virtual bool isVisible() const = 0;
};

}  // namespace velvix
