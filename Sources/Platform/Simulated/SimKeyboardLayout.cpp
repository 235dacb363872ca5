#include "Platform/Simulated/SimKeyboardLayout.hpp"

namespace velvix::sim {
namespace {

// The letter keys by key code, as the ANSI keyboard numbers them.
constexpr const char* kUS = "asdfhgzxcv?bqweryt";  // codes 0-17 ('?' is the ISO key)
constexpr const char* kUSRest = "o?uip?lj?k";      // codes 31-40 with gaps

}  // namespace

SimKeyboardLayout::SimKeyboardLayout() {
  for (int code = 0; kUS[code]; ++code)
    if (kUS[code] != '?') keys_[code] = std::string(1, kUS[code]);
  for (int i = 0; kUSRest[i]; ++i)
    if (kUSRest[i] != '?') keys_[31 + i] = std::string(1, kUSRest[i]);
  keys_[45] = "n";
  keys_[46] = "m";
}

std::optional<std::string> SimKeyboardLayout::character(std::int64_t keyCode) const {
  auto it = keys_.find(keyCode);
  if (it == keys_.end()) return std::nullopt;
  return it->second;
}

void SimKeyboardLayout::useDvorak() {
  const std::map<std::int64_t, std::string> dvorak{
      {0, "a"},  {1, "o"},  {2, "e"},  {3, "u"},  {4, "d"},  {5, "i"},  {6, ";"},  {7, "q"},  {8, "j"},
      {9, "k"},  {11, "x"}, {12, "'"}, {13, ","}, {14, "."}, {15, "p"}, {16, "f"}, {17, "y"}, {31, "r"},
      {32, "g"}, {34, "c"}, {35, "l"}, {37, "n"}, {38, "h"}, {40, "t"}, {45, "b"}, {46, "m"}};
  keys_ = dvorak;
}

}  // namespace velvix::sim
