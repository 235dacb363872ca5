// One tab object of an extension message, and the windows of a full report: whatever the values,
// a pack that is read holds an index no later arithmetic can overflow.
#include <cstdint>
#include <cstdlib>
#include <string>

#include <nlohmann/json.hpp>

#include "Core/TabPack.hpp"

using namespace velvix;

namespace {
void check(const nlohmann::json& value) {
  if (auto pack = TabPack::fromJSON(value))
    if (pack->tabIndex < -1 || pack->tabIndex > TabPack::kMaxTabIndex) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto value = nlohmann::json::parse(data, data + size, nullptr, false);
  if (value.is_discarded()) return 0;
  check(value);
  if (value.is_array())
    for (const auto& tab : value) check(tab);
  return 0;
}
