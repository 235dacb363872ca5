// A bundle's Info.plist: the strings of its top-level dictionary, from any bytes.
#include <cstdint>
#include <string>

#include "Platform/Linux/XmlPropertyList.hpp"

using namespace velvix::platform;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view document(reinterpret_cast<const char*>(data), size);
  for (const char* key :
       {"CFBundleIdentifier", "CFBundleName", "CFBundleIconFile", "CFBundleShortVersionString"})
    xmlplist::topLevelString(document, key);
  return 0;
}
