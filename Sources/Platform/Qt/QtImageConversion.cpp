#include "Platform/Qt/QtImageConversion.hpp"

#include <memory>

namespace velvix::qt {

namespace {

void releaseShared(void* info) {
  delete static_cast<std::shared_ptr<const std::uint8_t>*>(info);
}

}  // namespace

QImage toQImage(const RGBAImage& image) {
  if (image.isNull()) return {};
  // The QImage holds its own reference to the pixel memory until it (and every copy) is gone.
  auto* keep = new std::shared_ptr<const std::uint8_t>(image.sharedBits());
  QImage wrapped(image.bits(), image.pixelWidth(), image.pixelHeight(),
                 static_cast<qsizetype>(image.bytesPerRow()), QImage::Format_RGBA8888_Premultiplied,
                 &releaseShared, keep);
  wrapped.setDevicePixelRatio(image.scale());
  return wrapped;
}

std::optional<RGBAImage> fromQImage(const QImage& image) {
  if (image.isNull()) return std::nullopt;
  auto owner =
      std::make_shared<const QImage>(image.format() == QImage::Format_RGBA8888_Premultiplied
                                         ? image
                                         : image.convertToFormat(QImage::Format_RGBA8888_Premultiplied));
  if (owner->isNull()) return std::nullopt;
  return RGBAImage::wrap(owner, owner->constBits(), owner->width(), owner->height(),
                         static_cast<std::size_t>(owner->bytesPerLine()), owner->devicePixelRatio());
}

}  // namespace velvix::qt
