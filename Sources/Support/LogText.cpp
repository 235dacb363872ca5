#include "Support/LogText.hpp"

namespace velvix::logtext {

std::string quotedList(const std::vector<std::string>& values) {
  std::string text = "[";
  for (std::size_t i = 0; i < values.size(); ++i) text += (i ? ", \"" : "\"") + values[i] + "\"";
  return text + "]";
}

}  // namespace velvix::logtext
