#pragma once
// The bridge between RGBAImage and QImage, both ways without copying pixels where the formats
// allow: a QImage made from an RGBAImage reads the shared, immutable pixel memory directly (Qt
// copies only if someone paints into it), and an RGBAImage made from a QImage keeps the QImage's
// memory alive.

#include <optional>

#include <QImage>

#include "Platform/RGBAImage.hpp"

namespace velvix::qt {

// Premultiplied RGBA8888 over the image's own pixels; its device pixel ratio is the image's scale.
// The null image gives a null QImage.
QImage toQImage(const RGBAImage& image);
// Converts to premultiplied RGBA8888 when the QImage is in another format; the scale is the
// QImage's device pixel ratio. Nothing for a null QImage.
std::optional<RGBAImage> fromQImage(const QImage& image);

}  // namespace velvix::qt
