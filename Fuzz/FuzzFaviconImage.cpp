// The decoding of site icons downloaded from the web: the first byte sets the largest size
// asked for, the rest is the file as a server sent it (any format Qt reads, or none). Whatever
// the bytes, decoding gives nothing or a picture within the size asked for.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include <QGuiApplication>

#include "Platform/Qt/QtImageDecoder.hpp"

using namespace velvix;
using namespace std::string_view_literals;

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static QGuiApplication application(*argc, *argv);
  // Qt's image plug-ins load at the first decode; done here, their loading is not taken for a
  // leak of the first input that needs one.
  const qt::QtImageDecoder decoder;
  for (std::string_view start : {"\x89PNG\r\n\x1a\n"sv, "GIF89a"sv, "BM"sv, "\xff\xd8\xff"sv, "\0\0\x01\0"sv})
    (void)decoder.decode(start, 64);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int maxPixelSize = 1 + data[0] % 128;
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  const qt::QtImageDecoder decoder;
  const auto image = decoder.decode(bytes, maxPixelSize);
  if (!image) return 0;
  if (image->pixelWidth() < 1 || image->pixelHeight() < 1 || image->pixelWidth() > maxPixelSize ||
      image->pixelHeight() > maxPixelSize)
    std::abort();
  return 0;
}
