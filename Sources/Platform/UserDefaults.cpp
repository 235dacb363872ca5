#include "Platform/UserDefaults.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace velvix::platform {
namespace {

std::optional<std::int64_t> parseInteger(const std::string& text) {
  std::int64_t value = 0;
  const char* first = text.data();
  const char* last = text.data() + text.size();
  while (first < last && *first == ' ') ++first;
  if (first < last && *first == '+') ++first;
  auto [end, error] = std::from_chars(first, last, value);
  if (error != std::errc() || end != last) return std::nullopt;
  return value;
}

std::int64_t truncateDouble(double d) {
  if (!std::isfinite(d)) return 0;
  // Compared in floating point against limits a double holds exactly: -2^63 is the least 64-bit
  // integer and 2^63 the first value past the greatest (which a double cannot hold), so nothing
  // out of range ever reaches the conversion.
  constexpr double lo = -9223372036854775808.0;
  constexpr double pastHi = 9223372036854775808.0;
  if (d >= pastHi) return std::numeric_limits<std::int64_t>::max();
  if (d <= lo) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(std::trunc(d));
}

}  // namespace

std::int64_t UserDefaults::integer(const std::string& key) const {
  auto value = object(key);
  if (!value) return 0;
  if (value->is_number_integer()) return value->get<std::int64_t>();
  if (value->is_number_unsigned()) {
    auto u = value->get<std::uint64_t>();
    return u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())
               ? std::numeric_limits<std::int64_t>::max()
               : static_cast<std::int64_t>(u);
  }
  if (value->is_number_float()) return truncateDouble(value->get<double>());
  if (value->is_boolean()) return value->get<bool>() ? 1 : 0;
  if (value->is_string()) return parseInteger(value->get<std::string>()).value_or(0);
  return 0;
}

bool UserDefaults::boolean(const std::string& key) const {
  auto value = object(key);
  if (!value) return false;
  if (value->is_boolean()) return value->get<bool>();
  if (value->is_number()) return value->get<double>() != 0.0;
  if (value->is_string()) {
    std::string text = value->get<std::string>();
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    if (text == "true" || text == "yes") return true;
    return parseInteger(text).value_or(0) != 0;
  }
  return false;
}

std::optional<std::string> UserDefaults::string(const std::string& key) const {
  auto value = object(key);
  if (!value) return std::nullopt;
  if (value->is_string()) return value->get<std::string>();
  if (value->is_number()) return value->dump();
  return std::nullopt;
}

std::optional<std::vector<std::string>> UserDefaults::stringArray(const std::string& key) const {
  auto value = object(key);
  if (!value || !value->is_array()) return std::nullopt;
  std::vector<std::string> result;
  result.reserve(value->size());
  for (const auto& element : *value) {
    if (!element.is_string()) return std::nullopt;
    result.push_back(element.get<std::string>());
  }
  return result;
}

}  // namespace velvix::platform
