#pragma once
// A miniature of the switcher for the appearance pane: three entries on the switcher's glass
// over a blue-green gradient, the middle one selected, either as application icons or as window
// previews. The entries and the glass are drawn by the HUD's own cell and surface code at a small
// base size, so the miniature always looks like the real switcher in the chosen glass style.

#include <QWidget>

#include "Core/SettingsEnums.hpp"
#include "UI/HUDCell.hpp"

namespace velvix {

class SwitcherStylePreview final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kHeight = 96;
  static constexpr double kSideInset = 14;

  explicit SwitcherStylePreview(bool showsThumbnails, QWidget* parent = nullptr);

  bool showsThumbnails() const { return showsThumbnails_; }
  void setGlassStyle(GlassStyle style);
  // The three cells as they would be drawn into a slab `width` points wide at most.
  std::vector<HUDCell> cells(double width) const;
  // The slab's frame within the widget (centred).
  QRectF slabRect() const;
  QSize sizeHint() const override { return {240, kHeight}; }

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  double padding() const { return showsThumbnails_ ? 10 : 14; }
  double spacing() const { return showsThumbnails_ ? 8 : 12; }

  bool showsThumbnails_;
  GlassStyle glass_ = GlassStyle::appKit;
};

}  // namespace velvix
