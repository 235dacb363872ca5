#include "VelvixChromeHost/Shared/NativeFraming.hpp"

#include <algorithm>
#include <cstring>

namespace velvix::nativeframing {
namespace {

bool isAsciiWhitespace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

}  // namespace

// Native byte order is what the browser uses, so the bytes are the integer's own bytes.
void writeHeader(std::uint32_t length, char* out) {
  std::memcpy(out, &length, kHeaderBytes);
}

std::uint32_t readHeader(const char* in) {
  std::uint32_t length = 0;
  std::memcpy(&length, in, kHeaderBytes);
  return length;
}

std::string frame(std::string_view payload) {
  std::string bytes(kHeaderBytes + payload.size(), '\0');
  writeHeader(static_cast<std::uint32_t>(payload.size()), bytes.data());
  if (!payload.empty()) std::memcpy(bytes.data() + kHeaderBytes, payload.data(), payload.size());
  return bytes;
}

void makeSocketLine(std::string& payload) {
  // Line feeds are rare in a message: jump from one to the next instead of visiting every byte.
  char* at = payload.data();
  char* const end = at + payload.size();
  while ((at = static_cast<char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at))))) *at++ = ' ';
  payload.push_back('\n');
}

std::string_view trimmed(std::string_view bytes) {
  std::size_t begin = 0;
  std::size_t end = bytes.size();
  while (begin < end && isAsciiWhitespace(bytes[begin])) ++begin;
  while (end > begin && isAsciiWhitespace(bytes[end - 1])) --end;
  return bytes.substr(begin, end - begin);
}

}  // namespace velvix::nativeframing
