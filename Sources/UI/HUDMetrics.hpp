#pragma once
// The HUD's geometry: its base size s and mode (one row of icons, or a grid of window pictures),
// every size, padding, spacing and corner radius derived from them, and the fits that pick the
// largest base size at which a list fits a screen. Pure computation on values, no state, no Qt:
// the panel, the bar and the cells all draw from these numbers.
//
// Every derived quantity is a fixed multiple of s rounded to whole points, halves away from zero;
// the multiplications are written as the rules state them so the results agree to the point.

#include <algorithm>
#include <optional>
#include <vector>

#include "Core/SettingsEnums.hpp"

namespace velvix {

class HUDMetrics {
 public:
  static constexpr double kMinimumIcon = 16;
  // The panel's outer margin, in total per axis: the content is inset by 12 on every side.
  static constexpr double kOuterMargin = 24;
  // Picture aspects are clamped to this range; the uniform grid assumes kUniformAspect.
  static constexpr double kNarrowestAspect = 0.5;
  static constexpr double kWidestAspect = 1.9;
  static constexpr double kUniformAspect = 1.6;
  static constexpr double kLegibleTitleSize = 11;
  static constexpr double kLegibleTitleStrip = 14;
  static constexpr double kLegibleTitleEms = 12;

  struct Size {
    double width = 0;
    double height = 0;
    bool operator==(const Size&) const = default;
  };
  // Rows of item indices, in list order.
  using Rows = std::vector<std::vector<int>>;
  // Width / height of each entry's still; nothing when it has none.
  using Aspects = std::vector<std::optional<double>>;

  struct GridFit {
    double icon = kMinimumIcon;
    Rows rows;
  };

  // Everything the panel needs to show a list on a screen: the base size and mode, the rows (empty
  // in icon mode), each entry's frozen tile width (thumbnail mode) and the panel's size.
  struct ScreenFit {
    double icon = kMinimumIcon;
    bool thumbnails = false;
    Rows rows;
    std::vector<double> cellWidths;
    Size panel;
  };

  double icon = kMinimumIcon;  // the base size s
  bool thumbnails = false;

  // Rounds to whole points with halves away from zero.
  static double round(double x);
  // The largest base size a preset allows, per mode.
  static double maximumIcon(HUDSizePreset preset, bool thumbnails);

  // ---- the bar
  double pad() const { return round(0.0125 * icon); }  // around each cell's picture
  double hpad() const { return round(0.16 * icon); }   // left and right of the bar
  double vpad() const { return round(0.1 * icon); }    // above, below and between rows
  double gap() const { return round((thumbnails ? 0.09 : 0.045) * icon); }
  double thumbH() const { return round(1.05 * icon); }
  // The tile of an entry: s in icon mode; in thumbnail mode thumbH scaled by the clamped aspect,
  // or thumbH itself for an entry without a still.
  double tileWidth(std::optional<double> aspect) const;
  // The tile of the uniform grid: thumbH × 1.6 in thumbnail mode, s in icon mode.
  double uniformTileWidth() const { return thumbnails ? round(thumbH() * kUniformAspect) : icon; }
  double cellWidth(std::optional<double> aspect) const { return tileWidth(aspect) + 2 * pad(); }
  // Icon mode: the spacing above the title strip plus its height.
  double label() const { return titleSpacing() + titleStripHeight(); }
  // Thumbnail mode: the spacing below the header plus the header band.
  double header() const { return titleSpacing() + headerHeight(); }
  double cellHeight() const;
  double extraTop() const { return thumbnails ? 0 : round(0.65 * label()); }
  double extraBottom() const { return thumbnails ? round(0.65 * header()) : 0; }
  double cornerRadius() const { return round(0.45 * icon); }

  // ---- one cell
  // The picture: thumbnail mode frozenWidth (else thumbH) × thumbH; icon mode s × s.
  Size pictureSize(std::optional<double> frozenWidth) const;
  double titleSpacing() const { return round(0.01 * icon); }
  // The selected entry's title is never drawn smaller than kLegibleTitleSize points, however
  // small the icons: its strip grows to hold such a line and its box to hold a few words.
  double titleStripHeight() const { return std::max(round(0.15 * icon), kLegibleTitleStrip); }
  double titleFontSize() const { return std::max(round(0.14 * icon), kLegibleTitleSize); }
  double titleMinimumWidth() const { return kLegibleTitleEms * titleFontSize(); }
  double highlightCornerRadius() const { return round(0.22 * icon); }
  double highlightInset() const { return round(0.04 * icon) + round(0.02 * icon); }
  double pictureCornerRadius() const { return round(0.1 * icon); }
  double ringCornerRadius() const { return round(0.1 * icon) + pad() + 2; }
  double ringLineWidth() const;
  double controlDiameter() const;  // the close control and the minimized badge
  double controlSymbolSize() const { return round(0.48 * controlDiameter()); }
  double cornerControlSpacing() const { return round(0.28 * controlDiameter()); }
  double cornerControlPadding() const { return round(0.35 * controlDiameter()); }
  double headerIconSize() const;
  double headerSpacing() const;
  double headerHeight() const { return headerIconSize() + 6; }
  double siteBadgeSize() const { return round(0.34 * icon); }
  double dockBadgeHeight() const;  // also its least width
  double dockBadgeFontSize() const { return round(0.62 * dockBadgeHeight()); }
  double dockBadgeHorizontalPadding() const { return round(0.2 * dockBadgeHeight()); }
  Size dockBadgeOffset() const;  // to the right and upwards

  // ---- panels and fits
  // The panel of a uniform grid of columns × rows (each at least 1).
  Size panelSize(int columns, int rows, double maxWidth) const;
  // The panel of a list of `itemCount` entries laid out in `rows` (thumbnail mode; without rows,
  // or in icon mode, one uniform row of every entry).
  Size panelSize(int itemCount, const Rows& rows, const Aspects& aspects, double maxWidth) const;

  // The largest icon size at which itemCount icons fit one row of maxWidth.
  static double fittedIconRow(int itemCount, double maxWidth, double maxIcon);
  // The entries packed into rows at base size s (thumbnail mode) within maxWidth.
  static Rows packRows(const Aspects& aspects, double icon, double maxWidth);
  // The largest base size at which the pictures fit maxWidth × maxHeight, and their rows.
  static GridFit fittedThumbGrid(const Aspects& aspects, double maxWidth, double maxHeight, double maxIcon);

  // The fit of a list (one aspect per entry; ignored in icon mode) on a screen's visible area,
  // leaving 24 points of air on every side. The panel is never taller than that area allows, even
  // when the smallest size's rows do not fit it.
  static ScreenFit fitScreen(HUDSizePreset preset, bool thumbnails, const Aspects& aspects, Size visibleArea);
};

}  // namespace velvix
