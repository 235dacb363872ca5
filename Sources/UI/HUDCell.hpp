#pragma once
// One switcher entry as the HUD bar draws it. In icon mode: the application icon (a tab adds its
// site badge) with the selected entry's title below; in thumbnail mode: a header band (icon, Dock
// badge, title) above a picture of the window, live or frozen, with a minimized badge and a close
// control that shows, and takes clicks, only while the cell is hovered. Over that go the
// selection highlight or ring and the cell's part in a tab drag.
//
// A cell is a value built afresh from the model on every change; the bar resolves its pictures
// (application icon, site icon) and labels first. Geometry is in the cell's own coordinates,
// origin at its top left, every size derived from the HUD metrics.

#include <optional>
#include <string>
#include <utility>

#include <QImage>

#include "Core/SwitchableItem.hpp"
#include "Platform/Geometry.hpp"
#include "UI/HUDDragRole.hpp"
#include "UI/HUDMetrics.hpp"

class QPainter;

namespace velvix {

struct HUDCell {
  static constexpr double kSourceOpacity = 0.35;
  // The dragged cell fades to kSourceOpacity, and back, over this long, easing out.
  static constexpr double kSourceFadeDuration = 0.12;
  static constexpr double kHeaderFontSize = 15;
  // How far glows and badges may reach outside the cell.
  static constexpr double kLayerMargin = 16;
  // Thumbnail mode: the selection ring's glow, and how far ring and glow reach outside the content
  // frame (the glow and a pixel for its edge).
  static constexpr double kRingGlowRadius = 4;
  static constexpr double kRingOuterReach = 5;

  SwitchableItem item;
  bool isSelected = false;
  bool isHovered = false;
  HUDDragRole dragRole = HUDDragRole::none;
  HUDMetrics metrics;
  std::optional<double> frozenWidth;  // thumbnail mode: the width fixed when the HUD opened
  QImage frozenThumb;                 // the still taken when the HUD opened (null: none)
  QImage liveThumb;                   // the live frame, when this entry is streamed (null: none)
  bool closable = false;              // the entry may be closed from the HUD
  // The whole cell's opacity while its drag fade runs; otherwise it follows the drag role.
  std::optional<double> opacity;

  // Resolved by the bar.
  QImage appIcon;   // the icon of the entry's application (with its pid for an application entry)
  QImage siteIcon;  // a tab's site icon, once loaded (null: the symbol badge shows)
  std::optional<std::string> dockBadge;
  std::string headerTitle;  // thumbnail mode: the cached picture's window title, else the entry's
  // The horizontal span (cell coordinates) the title must stay inside: the bar's width within its
  // side paddings, so it is never cut by the panel's edge. None: no limit.
  std::optional<std::pair<double, double>> titleLimits;

  // ---- geometry (cell coordinates)
  Size size() const;
  // The content's padded frame: the picture plus pad all round; highlight, ring and drag overlay
  // sit on it.
  Rect contentFrame() const;
  // The picture: W × H, the frozen width (else thumbH) by thumbH in thumbnail mode, s × s in icon mode.
  Rect pictureRect() const;
  // The application icon: the picture in icon mode; in thumbnail mode without a picture, a
  // square of side thumbH centred in it.
  Rect iconRect() const;
  // A tab's site badge, b × b at the icon's bottom-right corner, 2 points right and down.
  Rect siteBadgeRect() const;
  Rect headerRect() const;      // thumbnail mode
  Rect headerIconRect() const;  // thumbnail mode
  // The Dock badge's capsule for a label of the given text width.
  Rect dockBadgeRect(double textWidth) const;
  // Icon mode: the title's frame, 2.2 cells wide (wide enough for a few words at least),
  // centred under the cell but moved inward, and narrowed if need be, to stay within titleLimits.
  Rect titleRect() const;
  // Icon mode: the title as drawn in its frame, ended with an ellipsis when it does not fit.
  std::string shownTitle() const;
  // Thumbnail mode: the minimized badge (minimized entries) and the close control (closable
  // entries, whether shown or not).
  std::optional<Rect> minimizedBadgeRect() const;
  std::optional<Rect> closeControlRect() const;
  // Thumbnail mode: how far the selection ring reaches into the content frame. Nothing further in
  // changes when the cell is selected or let go.
  double ringInnerReach() const;

  bool hasPicture() const { return !liveThumb.isNull() || !frozenThumb.isNull(); }
  const QImage& picture() const { return liveThumb.isNull() ? frozenThumb : liveThumb; }
  // The close control shows and takes clicks only while the cell is hovered.
  bool showsCloseControl() const { return closable && isHovered && metrics.thumbnails; }
  bool closeControlContains(Point point) const;

  // What assistive technologies read: the cell is its entry's title; the minimized badge says
  // "<title> is minimized" and the close control "Close <title>".
  std::string accessibilityLabel() const { return item.title; }
  std::optional<std::string> minimizedBadgeLabel() const;
  std::optional<std::string> closeControlLabel() const;
  // The help text of the control under the point: "Minimized" or "Close" (the close control
  // only while it shows).
  std::optional<std::string> helpText(Point point) const;
  double effectiveOpacity() const {
    return opacity.value_or(dragRole == HUDDragRole::source ? kSourceOpacity : 1.0);
  }
  // The ease-out the drag fade follows: progress 0...1 to the share of the change made.
  static double easeOut(double progress);

  // "gearshape", "chevron.left.forwardslash.chevron.right", "apple.terminal" or "globe".
  static std::string badgeSymbol(const SwitchableItem& item);
  // The auxiliary placeholder of a browser's window that shows no tab.
  static bool isAuxiliary(const SwitchableItem& item);

  // Draws the whole cell with its top left at the painter's origin.
  void paint(QPainter& painter, bool reduceTransparency) const;

 private:
  void paintLayers(QPainter& painter, bool reduceTransparency) const;
  std::optional<Rect> cornerControlsBox() const;
  void paintHighlight(QPainter& painter) const;
  void paintRing(QPainter& painter) const;
  void paintDragOverlay(QPainter& painter) const;
  void paintIconView(QPainter& painter, bool reduceTransparency) const;
  void paintSiteBadge(QPainter& painter, bool reduceTransparency) const;
  void paintThumbnailView(QPainter& painter, bool reduceTransparency) const;
  void paintCornerControls(QPainter& painter) const;
  void paintHeader(QPainter& painter) const;
  void paintTitle(QPainter& painter) const;
};

}  // namespace velvix
