#pragma once
// Reads a JSON object in one pass, for the plain JSON that extensions send: whole into the same
// document the general JSON reader would build, or member by member for a caller that wants a
// few values without any document. It declines whatever it does not cover (and all text that is
// not JSON); the caller then asks the general reader, which also judges bad text, so the quick
// path never decides what a line means on its own.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
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

  // ---- member by member. Once the text is declined every call answers false.
  explicit QuickJsonReader(std::string_view text) : at_(text.data()), end_(text.data() + text.size()) {}
  // The first character of the value at the reading position ('\0' at the end of the text).
  char peek();
  // Steps into the object at the reading position.
  bool enterObject();
  // The next member of the object stepped into last, its value then at the reading position;
  // false at that object's end, which steps out of it.
  bool nextKey(std::string& key);
  // Reads the value at the reading position (an object or array whole) into `out`.
  bool readValue(nlohmann::json& out);
  // Reads the value at the reading position: `out` holds it when it is of that type and is
  // emptied otherwise, as a member of another type counts as absent.
  bool readText(std::optional<std::string>& out);
  bool readInteger(std::optional<std::int64_t>& out);
  bool readBoolean(std::optional<bool>& out);
  // Every object stepped into was read to its end, and only whitespace follows.
  bool finished();
  bool declined() const { return declined_; }

 private:
  bool decline() {
    declined_ = true;
    return false;
  }
  void skipSpace();
  bool next(char c);
  bool value(nlohmann::json& out, int depth);
  bool object(nlohmann::json& out, int depth);
  bool array(nlohmann::json& out, int depth);
  bool text(std::string& out);
  bool escape(std::string& out);
  long hexUnit();
  bool unicodeEscape(std::string& out);
  bool number(nlohmann::json& out);
  bool literal(std::string_view word, nlohmann::json meaning, nlohmann::json& out);

  const char* at_;
  const char* end_;
  bool declined_ = false;
  int depth_ = 0;  // objects stepped into and not yet left
  std::array<bool, kMaxDepth + 1> firstMember_{};
};

}  // namespace velvix
