#include "VelvixChromeHost/Shared/SocketAddress.hpp"

#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace velvix::hostchannel {

std::optional<SocketAddress> SocketAddress::make(const std::string& folder, const std::string& file) {
  SocketAddress result;
  result.address_.sun_family = AF_UNIX;
  result.path_ = folder + "/" + file;
  std::string usable = result.path_;
  if (usable.size() + 1 > sizeof(result.address_.sun_path)) {
    result.folderFD_ = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (result.folderFD_ < 0) return std::nullopt;
    usable = "/proc/self/fd/" + std::to_string(result.folderFD_) + "/" + file;
  }
  if (usable.size() + 1 > sizeof(result.address_.sun_path) || usable.find('\0') != std::string::npos)
    return std::nullopt;
  std::memcpy(result.address_.sun_path, usable.c_str(), usable.size() + 1);
  return result;
}

std::optional<SocketAddress> SocketAddress::make(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos || slash + 1 == path.size()) return std::nullopt;
  return make(slash == 0 ? std::string("/") : path.substr(0, slash), path.substr(slash + 1));
}

SocketAddress::SocketAddress(SocketAddress&& other) noexcept
    : address_(other.address_), path_(std::move(other.path_)), folderFD_(other.folderFD_) {
  other.folderFD_ = -1;
}

SocketAddress::~SocketAddress() {
  if (folderFD_ >= 0) ::close(folderFD_);
}

}  // namespace velvix::hostchannel
