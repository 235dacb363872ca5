#pragma once
// The root view of the HUD panel: the bar of cells on the HUD's glass. It lays the model's
// entries out as one row of icons or as rows of window pictures, draws each as a HUDCell, turns
// the pointer into hover, commit (click) and close, and runs the gesture that drags a browser tab
// from its cell onto another tab's cell, with the ghost label following the pointer. Everything
// it shows comes from the model; it keeps only the cells' site icons.

#include <map>
#include <memory>
#include <optional>

#include <QPointer>
#include <QWidget>

#include "Platform/Geometry.hpp"
#include "UI/AppIconProvider.hpp"
#include "UI/HUDCell.hpp"

namespace velvix {
namespace platform {
class AccessibilityDisplay;
class MainLoop;
}  // namespace platform

class BadgeStore;
class FaviconStore;
class FrostBackdropView;
struct HUDGlassSurface;
class HUDModel;
class ThumbnailStore;

class HUDView final : public QWidget {
 public:
  // The pointer must move this far (points) on a draggable cell before a drag begins.
  static constexpr double kDragThreshold = 8;
  static constexpr const char* kBarName = "velvix.hud.bar";

  // The cells take their Dock badges from `badges`, the titles of window pictures from
  // `thumbnails` and the tabs' site icons from `favicons`; fades run on `loop`, and the glass
  // follows `display`.
  HUDView(HUDModel& model, platform::MainLoop& loop, const platform::AccessibilityDisplay& display,
          BadgeStore& badges, const ThumbnailStore& thumbnails, FaviconStore& favicons,
          QWidget* parent = nullptr);
  ~HUDView() override;

  void setAppIconProvider(AppIconProvider provider);
  // The frost directly behind the view, at its frame: the glass's veil (and system glass) is
  // drawn into its layer rather than over it on every frame, where no moving slabs lie between,
  // and a whole frame of it leaves out what opaque stills cover.
  void joinBackdrop(FrostBackdropView* backdrop);

  // The bar inside the glass: cells are laid out, and the pointer handled, in its coordinates.
  QWidget* bar() const;
  // Every shown cell's frame in the bar's coordinates.
  const std::map<int, Rect>& cellFrames() const;
  // The cell at `index` as the bar draws it now; nothing outside the list.
  std::optional<HUDCell> cell(int index) const;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  class Bar;
  void restyle();
  void joinUnderlay(const HUDGlassSurface& glass);

  HUDModel& model_;
  Bar* bar_ = nullptr;
  QWidget* surface_ = nullptr;
  QPointer<FrostBackdropView> backdrop_;
  struct Subscriptions;
  std::unique_ptr<Subscriptions> subscriptions_;
};

}  // namespace velvix
