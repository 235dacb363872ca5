#include "Core/JsonFields.hpp"

#include <cmath>

#include <nlohmann/json.hpp>

namespace velvix::jsonfields {

std::optional<std::int64_t> wholeNumber(const nlohmann::json& object, const char* key) {
  auto it = object.find(key);
  if (it == object.end()) return std::nullopt;
  // Unsigned first: an unsigned number also counts as an integer, and one above the signed range
  // would wrap to a negative id.
  if (it->is_number_unsigned()) {
    auto value = it->get<std::uint64_t>();
    if (value > static_cast<std::uint64_t>(INT64_MAX)) return std::nullopt;
    return static_cast<std::int64_t>(value);
  }
  if (it->is_number_integer()) return it->get<std::int64_t>();
  if (it->is_number_float()) {
    double value = it->get<double>();
    if (std::isfinite(value) && std::trunc(value) == value && std::fabs(value) < 9.2e18)
      return static_cast<std::int64_t>(value);
  }
  return std::nullopt;
}

std::optional<std::string> text(const nlohmann::json& object, const char* key) {
  auto it = object.find(key);
  if (it == object.end() || !it->is_string()) return std::nullopt;
  return it->get<std::string>();
}

std::optional<bool> boolean(const nlohmann::json& object, const char* key) {
  auto it = object.find(key);
  if (it == object.end() || !it->is_boolean()) return std::nullopt;
  return it->get<bool>();
}

}  // namespace velvix::jsonfields
