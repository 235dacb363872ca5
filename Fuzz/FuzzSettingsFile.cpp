// The settings file: whatever it holds, loading it and reading every key in every type neither
// crashes nor loses the file (a file that is not a document is moved aside, never overwritten).
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "Platform/Linux/JsonFileDefaults.hpp"

using namespace velvix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::filesystem::path folder = [] {
    char name[] = "/tmp/velvix-fuzz-settings-XXXXXX";
    return std::filesystem::path(::mkdtemp(name));
  }();
  const auto file = folder / "settings.json";
  std::filesystem::remove(folder / "settings.json.damaged");
  {
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  platform::JsonFileDefaults defaults(file);
  const auto values = defaults.userValues();
  for (const auto& [key, value] : values.items()) {
    defaults.integer(key);
    defaults.boolean(key);
    defaults.string(key);
    defaults.stringArray(key);
  }
  if (!values.empty()) defaults.set("universalTabLimit", 20);
  return 0;
}
