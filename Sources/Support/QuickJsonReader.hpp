#pragma once
// Reads a JSON object in one pass, straight into the same document the general JSON reader
// would build, for the plain JSON that extensions send. It declines whatever it does not cover
// (and all text that is not JSON); the caller then asks the general reader, which also judges
// bad text, so the quick path never decides what a line means on its own.

#include <optional>
#include <string_view>

#include <nlohmann/json.hpp>

namespace velvix {

class QuickJsonReader {
 public:
  // Nesting the reader follows; deeper text is declined.
  static constexpr int kMaxDepth = 64;

  // The document of `text` when it is one JSON object (whitespace around it allowed) whose
  // numbers are all integers of at most 18 digits, whose strings are well-formed UTF-8 and whose
  // escapes pair every surrogate; nothing otherwise.
  static std::optional<nlohmann::json> readObject(std::string_view text);
};

}  // namespace velvix
