#include "Core/JsonFields.hpp"

#include <cmath>

#include <nlohmann/json.hpp>

namespace velvix::jsonfields {

const nlohmann::json* member(const nlohmann::json& object, const char* key) {
  auto it = object.find(key);
  return it == object.end() ? nullptr : &*it;
}

std::optional<std::int64_t> wholeNumber(const nlohmann::json* value) {
  if (!value) return std::nullopt;
  if (value->is_number_integer()) return value->get<std::int64_t>();
  if (value->is_number_unsigned()) {
    auto number = value->get<std::uint64_t>();
    if (number > static_cast<std::uint64_t>(INT64_MAX)) return std::nullopt;
    return static_cast<std::int64_t>(number);
  }
  if (value->is_number_float()) {
    double number = value->get<double>();
    if (std::isfinite(number) && std::trunc(number) == number && std::fabs(number) < 9.2e18)
      return static_cast<std::int64_t>(number);
  }
  return std::nullopt;
}

std::optional<std::string> text(const nlohmann::json* value) {
  if (!value || !value->is_string()) return std::nullopt;
  return value->get<std::string>();
}

std::optional<bool> boolean(const nlohmann::json* value) {
  if (!value || !value->is_boolean()) return std::nullopt;
  return value->get<bool>();
}

std::optional<std::int64_t> wholeNumber(const nlohmann::json& object, const char* key) {
  return wholeNumber(member(object, key));
}

std::optional<std::string> text(const nlohmann::json& object, const char* key) {
  return text(member(object, key));
}

std::optional<bool> boolean(const nlohmann::json& object, const char* key) {
  return boolean(member(object, key));
}

}  // namespace velvix::jsonfields
