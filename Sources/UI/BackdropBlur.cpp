#include "UI/BackdropBlur.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

namespace velvix {

namespace {

// One box-blur pass along rows (or columns), radius r, on premultiplied ARGB32 pixels.
void boxPass(QImage& image, int r, bool horizontal) {
  const int w = image.width(), h = image.height();
  const int lines = horizontal ? h : w, length = horizontal ? w : h;
  std::vector<QRgb> line(static_cast<std::size_t>(length));
  auto at = [&](int i, int j) -> QRgb& {
    return reinterpret_cast<QRgb*>(image.scanLine(horizontal ? i : j))[horizontal ? j : i];
  };
  for (int i = 0; i < lines; ++i) {
    for (int j = 0; j < length; ++j) line[static_cast<std::size_t>(j)] = at(i, j);
    int sum[4] = {0, 0, 0, 0};
    auto add = [&](int j, int sign) {
      const QRgb c = line[static_cast<std::size_t>(std::clamp(j, 0, length - 1))];
      sum[0] += sign * qAlpha(c), sum[1] += sign * qRed(c), sum[2] += sign * qGreen(c),
          sum[3] += sign * qBlue(c);
    };
    for (int j = -r; j <= r; ++j) add(j, 1);
    const int n = 2 * r + 1;
    for (int j = 0; j < length; ++j) {
      at(i, j) = qRgba(sum[1] / n, sum[2] / n, sum[3] / n, sum[0] / n);
      add(j + r + 1, 1);
      add(j - r, -1);
    }
  }
}

}  // namespace

QImage BackdropBlur::frosted(const QImage& beneath, double blurRadius, double saturation) {
  if (beneath.isNull()) return {};
  const QSize full = beneath.size();
  // Blurring a smaller copy and scaling it back up costs little and looks the same.
  const double shrink = std::clamp(blurRadius / 3.0, 1.0, 16.0);
  const QSize small(std::max(1, static_cast<int>(full.width() / shrink)),
                    std::max(1, static_cast<int>(full.height() / shrink)));
  QImage work = beneath.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                    .scaled(small, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  const int r = std::max(1, static_cast<int>(std::lround(blurRadius / shrink / 2)));
  for (int pass = 0; pass < 3; ++pass) {
    boxPass(work, r, true);
    boxPass(work, r, false);
  }
  for (int y = 0; y < work.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(work.scanLine(y));
    for (int x = 0; x < work.width(); ++x) {
      const QRgb c = row[x];
      const double luma = 0.2126 * qRed(c) + 0.7152 * qGreen(c) + 0.0722 * qBlue(c);
      auto channel = [&](int v) {
        return static_cast<int>(
            std::clamp(luma + (v - luma) * saturation, 0.0, static_cast<double>(qAlpha(c))));
      };
      row[x] = qRgba(channel(qRed(c)), channel(qGreen(c)), channel(qBlue(c)), qAlpha(c));
    }
  }
  QImage result = work.scaled(full, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  result.setDevicePixelRatio(beneath.devicePixelRatio());
  return result;
}

}  // namespace velvix
