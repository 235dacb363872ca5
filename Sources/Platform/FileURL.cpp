#include "Platform/FileURL.hpp"

#include <cctype>

namespace velvix::platform::FileURL {

namespace {

constexpr std::string_view kScheme = "file://";

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool isUnreserved(unsigned char c) {
  return std::isalnum(c) || c == '/' || c == '-' || c == '.' || c == '_' || c == '~' || c == '+' || c == ',';
}

}  // namespace

std::optional<std::string> path(std::string_view url) {
  if (url.size() < kScheme.size()) return std::nullopt;
  for (std::size_t i = 0; i < kScheme.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(url[i])) != kScheme[i]) return std::nullopt;
  url.remove_prefix(kScheme.size());
  if (url.starts_with("localhost/")) url.remove_prefix(std::string_view("localhost").size());
  if (!url.starts_with('/')) return std::nullopt;  // a remote host, or no path at all
  if (auto end = url.find_first_of("?#"); end != std::string_view::npos) url = url.substr(0, end);

  std::string decoded;
  decoded.reserve(url.size());
  for (std::size_t i = 0; i < url.size(); ++i) {
    if (url[i] != '%') {
      decoded += url[i];
      continue;
    }
    if (i + 2 >= url.size()) return std::nullopt;
    const int high = hexValue(url[i + 1]), low = hexValue(url[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    const char byte = static_cast<char>(high * 16 + low);
    if (byte == '\0') return std::nullopt;  // a path cannot hold it
    decoded += byte;
    i += 2;
  }
  while (decoded.size() > 1 && decoded.back() == '/') decoded.pop_back();
  return decoded;
}

std::string fromPath(std::string_view path, bool isFolder) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string url(kScheme);
  for (unsigned char c : path) {
    if (isUnreserved(c)) {
      url += static_cast<char>(c);
    } else {
      url += '%';
      url += kHex[c >> 4];
      url += kHex[c & 0xF];
    }
  }
  if (isFolder && !url.ends_with('/')) url += '/';
  return url;
}

}  // namespace velvix::platform::FileURL
