#include "UI/HUDMetrics.hpp"

#include <algorithm>
#include <cmath>

namespace velvix {

namespace {

// A loop bound far beyond any screen, so absurd inputs (an infinite width) cannot spin forever.
constexpr double kLargestTriedIcon = 4096;

std::optional<double> usableAspect(std::optional<double> aspect) {
  if (aspect && std::isfinite(*aspect)) return aspect;
  return std::nullopt;
}

std::optional<double> aspectAt(const HUDMetrics::Aspects& aspects, int index) {
  if (index < 0 || index >= static_cast<int>(aspects.size())) return std::nullopt;
  return aspects[static_cast<std::size_t>(index)];
}

}  // namespace

double HUDMetrics::round(double x) {
  return std::round(x);
}

double HUDMetrics::maximumIcon(HUDSizePreset preset, bool thumbnails) {
  switch (preset) {
    case HUDSizePreset::compact:
      return thumbnails ? 140 : 108;
    case HUDSizePreset::comfortable:
      return thumbnails ? 172 : 132;
    case HUDSizePreset::large:
      return thumbnails ? 210 : 160;
  }
  return thumbnails ? 172 : 132;
}

double HUDMetrics::tileWidth(std::optional<double> aspect) const {
  if (!thumbnails) return icon;
  aspect = usableAspect(aspect);
  if (!aspect) return thumbH();
  return round(thumbH() * std::clamp(*aspect, kNarrowestAspect, kWidestAspect));
}

double HUDMetrics::cellHeight() const {
  return thumbnails ? thumbH() + 2 * pad() + header() : icon + 2 * pad() + label();
}

HUDMetrics::Size HUDMetrics::pictureSize(std::optional<double> frozenWidth) const {
  if (!thumbnails) return {icon, icon};
  return {frozenWidth.value_or(thumbH()), thumbH()};
}

double HUDMetrics::ringLineWidth() const {
  return std::max(round(0.025 * icon), 2.0);
}
double HUDMetrics::controlDiameter() const {
  return std::max(round(0.11 * icon), 13.0);
}
double HUDMetrics::headerIconSize() const {
  return std::max(round(0.16 * icon), 14.0);
}
double HUDMetrics::headerSpacing() const {
  return std::max(round(0.3 * headerIconSize()), 4.0);
}
double HUDMetrics::dockBadgeHeight() const {
  return std::max(round(0.62 * headerIconSize()), 11.0);
}

HUDMetrics::Size HUDMetrics::dockBadgeOffset() const {
  return {round(0.35 * dockBadgeHeight()), round(0.3 * dockBadgeHeight())};
}

HUDMetrics::Size HUDMetrics::panelSize(int columns, int rows, double maxWidth) const {
  const int c = std::max(columns, 1);
  const int r = std::max(rows, 1);
  const double content = 2 * hpad() + c * (uniformTileWidth() + 2 * pad()) + (c - 1) * gap();
  const double width = std::min(maxWidth, content) + kOuterMargin;
  const double height =
      (vpad() + extraTop()) + r * cellHeight() + (r - 1) * vpad() + (vpad() + extraBottom()) + kOuterMargin;
  return {width, height};
}

HUDMetrics::Size HUDMetrics::panelSize(int itemCount, const Rows& rows, const Aspects& aspects,
                                       double maxWidth) const {
  if (!thumbnails || rows.empty()) return panelSize(std::max(itemCount, 1), 1, maxWidth);
  double widest = 0;
  for (const auto& row : rows) {
    double width = 0;
    for (int index : row) width += cellWidth(aspectAt(aspects, index));
    if (!row.empty()) width += (static_cast<double>(row.size()) - 1) * gap();
    widest = std::max(widest, width);
  }
  const double r = static_cast<double>(rows.size());
  const double width = std::min(maxWidth, 2 * hpad() + widest) + kOuterMargin;
  const double height =
      (vpad() + extraTop()) + r * cellHeight() + (r - 1) * vpad() + (vpad() + extraBottom()) + kOuterMargin;
  return {width, height};
}

double HUDMetrics::fittedIconRow(int itemCount, double maxWidth, double maxIcon) {
  if (maxIcon <= kMinimumIcon) return kMinimumIcon;
  const double n = std::max(itemCount, 1);
  for (double s = kMinimumIcon + 1; s <= kLargestTriedIcon; ++s) {
    const HUDMetrics m{s, false};
    const bool fits = (s + 2 * m.pad()) * n + m.gap() * (n - 1) <= maxWidth - kOuterMargin - 2 * m.hpad();
    if (!fits) return s - 1;
    if (s >= maxIcon) return s;
  }
  return kLargestTriedIcon;
}

namespace {

// How many rows the packing makes, counting no further than `limit` + 1: a size whose rows pass
// the limit fails however many more there would be. The walk is the packing's own.
std::size_t rowsPacked(const HUDMetrics::Aspects& aspects, const HUDMetrics& m, double available,
                       std::size_t limit) {
  std::size_t rows = 0;
  double openWidth = -1;  // no open row
  for (const auto& aspect : aspects) {
    const double cell = 2 * m.pad() + m.tileWidth(aspect);
    if (openWidth >= 0 && openWidth + m.gap() + cell <= available) {
      openWidth += m.gap() + cell;
      continue;
    }
    if (++rows > limit) return rows;
    openWidth = cell;
  }
  return rows;
}

}  // namespace

HUDMetrics::Rows HUDMetrics::packRows(const Aspects& aspects, double icon, double maxWidth) {
  const HUDMetrics m{icon, true};
  const double available = maxWidth - kOuterMargin - 2 * m.hpad();
  Rows rows;
  std::vector<int> open;
  double openWidth = 0;
  for (int i = 0; i < static_cast<int>(aspects.size()); ++i) {
    const double cell = 2 * m.pad() + m.tileWidth(aspects[static_cast<std::size_t>(i)]);
    if (!open.empty() && openWidth + m.gap() + cell <= available) {
      open.push_back(i);
      openWidth += m.gap() + cell;
      continue;
    }
    if (!open.empty()) rows.push_back(std::move(open));
    open = {i};
    openWidth = cell;
  }
  if (!open.empty()) rows.push_back(std::move(open));
  return rows;
}

HUDMetrics::GridFit HUDMetrics::fittedThumbGrid(const Aspects& aspects, double maxWidth, double maxHeight,
                                                double maxIcon) {
  if (!(maxIcon >= kMinimumIcon)) return {kMinimumIcon, packRows(aspects, kMinimumIcon, maxWidth)};
  double best = kMinimumIcon;
  // Every size is tried: a larger size may pass where a smaller one failed, because rounding moves
  // the paddings and the row breaks in steps.
  for (double s = kMinimumIcon; s <= std::min(maxIcon, kLargestTriedIcon); ++s) {
    const HUDMetrics m{s, true};
    const bool widthFits =
        2 * m.pad() + round(m.thumbH() * kWidestAspect) <= maxWidth - kOuterMargin - 2 * m.hpad();
    const auto heightOf = [&](double n) {
      return m.vpad() + round(0.65 * m.header()) + m.vpad() + n * (m.thumbH() + m.header() + 2 * m.pad()) +
             std::max(n - 1, 0.0) * m.vpad() + kOuterMargin;
    };
    // The most rows that fit, so that a long list is not packed to its end at every size.
    const double perRow = m.thumbH() + m.header() + 2 * m.pad() + m.vpad();
    const double fitting = std::max(0.0, std::floor((maxHeight - heightOf(1)) / perRow) + 1);
    const std::size_t limit = static_cast<std::size_t>(std::min(fitting + 1, 1e9));
    const double n =
        static_cast<double>(rowsPacked(aspects, m, maxWidth - kOuterMargin - 2 * m.hpad(), limit));
    const bool heightFits = heightOf(n) <= maxHeight;
    if (widthFits && heightFits) best = s;
  }
  return {best, packRows(aspects, best, maxWidth)};
}

HUDMetrics::ScreenFit HUDMetrics::fitScreen(HUDSizePreset preset, bool thumbnails, const Aspects& aspects,
                                            Size visibleArea) {
  const double maxWidth = visibleArea.width - 2 * kOuterMargin;
  const double maxHeight = visibleArea.height - 2 * kOuterMargin;
  const int count = static_cast<int>(aspects.size());
  ScreenFit fit;
  fit.thumbnails = thumbnails;
  if (!thumbnails) {
    fit.icon = fittedIconRow(count, maxWidth, maximumIcon(preset, false));
  } else {
    auto grid = fittedThumbGrid(aspects, maxWidth, maxHeight, maximumIcon(preset, true));
    fit.icon = grid.icon;
    fit.rows = std::move(grid.rows);
    const HUDMetrics m{fit.icon, true};
    for (const auto& aspect : aspects) fit.cellWidths.push_back(m.tileWidth(aspect));
  }
  fit.panel = HUDMetrics{fit.icon, thumbnails}.panelSize(count, fit.rows, aspects, maxWidth);
  // So many pictures that no size fits them all: the panel still keeps to the screen, where a
  // taller one would hide its first rows (the selection among them) above the screen's top, and
  // the bar scrolls its rows instead.
  fit.panel.height = std::min(fit.panel.height, std::max(maxHeight, 0.0));
  return fit;
}

}  // namespace velvix
