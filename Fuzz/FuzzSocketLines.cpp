// Socket lines and the extension reports they carry: the bytes of one connection, cut at the
// first byte's count into reads, are cut into lines and each line is read as a report. The quick
// reading must agree with the general JSON reader and with the report of the document.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Bridge/ExtensionReport.hpp"
#include "Bridge/SocketLineCutter.hpp"
#include "Platform/Utf8.hpp"
#include "Support/QuickJsonReader.hpp"

using namespace velvix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t readSize = 1 + data[0];
  const char* bytes = reinterpret_cast<const char*>(data + 1);
  std::size_t left = size - 1;
  SocketLineCutter cutter;
  while (left > 0) {
    const std::size_t n = std::min(left, readSize);
    const bool withinCap = cutter.append(bytes, n);
    bytes += n;
    left -= n;
    while (auto line = cutter.nextLine()) {
      if (line->empty() || !utf8::isValid(*line)) std::abort();
      auto report = ExtensionReport::parse(*line);
      if (report && report->tab &&
          (report->tab->tabIndex < -1 || report->tab->tabIndex > TabPack::kMaxTabIndex))
        std::abort();
      ExtensionReport::sessionOf(*line);
      if (auto quick = QuickJsonReader::readObject(*line);
          quick && (*quick != nlohmann::json::parse(*line, nullptr, /*allow_exceptions=*/false) ||
                    report != ExtensionReport::fromDocument(*quick)))
        std::abort();
    }
    if (!withinCap) break;
  }
  return 0;
}
