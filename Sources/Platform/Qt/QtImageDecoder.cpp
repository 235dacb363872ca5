#include "Platform/Qt/QtImageDecoder.hpp"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include "Platform/Qt/QtImageConversion.hpp"

namespace velvix::qt {

namespace {

bool fits(const QSize& size, int limit) {
  return size.width() <= limit && size.height() <= limit;
}

// Icon files carry several sizes: take the largest that fits the limit, else the first.
void chooseFrame(QImageReader& reader, int limit) {
  const int count = reader.imageCount();
  if (count <= 1) return;
  int best = -1;
  int bestArea = -1;
  for (int i = 0; i < count; ++i) {
    if (!reader.jumpToImage(i)) break;
    const QSize size = reader.size();
    const int area = size.width() * size.height();
    if (size.isValid() && fits(size, limit) && area > bestArea) best = i, bestArea = area;
  }
  reader.jumpToImage(best >= 0 ? best : 0);
}

}  // namespace

std::optional<RGBAImage> QtImageDecoder::decode(std::string_view bytes, int maxPixelSize) const {
  if (bytes.empty() || maxPixelSize < 1) return std::nullopt;
  QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
  QBuffer buffer(&data);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  reader.setAllocationLimit(kAllocationLimitMiB);
  chooseFrame(reader, maxPixelSize);
  const QSize declared = reader.size();
  if (declared.isValid() && !fits(declared, maxPixelSize))
    reader.setScaledSize(declared.scaled(maxPixelSize, maxPixelSize, Qt::KeepAspectRatio).expandedTo({1, 1}));
  QImage image = reader.read();
  if (image.isNull() || image.width() < 1 || image.height() < 1) return std::nullopt;
  image.setDevicePixelRatio(1.0);
  auto decoded = fromQImage(image);
  if (!decoded) return std::nullopt;
  // Formats that cannot scale while decoding still come out within the limit.
  return decoded->scaledToFit(maxPixelSize, maxPixelSize);
}

}  // namespace velvix::qt
