#pragma once
// Reading one value of a JSON object that arrived from outside, where a value of the wrong type
// counts as absent: a tab id given as text is no tab id.

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

namespace velvix::jsonfields {

// A whole number that fits 64 bits (1.0 counts; 1.5, "1" and true do not).
std::optional<std::int64_t> wholeNumber(const nlohmann::json& object, const char* key);
std::optional<std::string> text(const nlohmann::json& object, const char* key);
std::optional<bool> boolean(const nlohmann::json& object, const char* key);
// True only for a JSON true.
inline bool flag(const nlohmann::json& object, const char* key) {
  return boolean(object, key).value_or(false);
}

}  // namespace velvix::jsonfields
