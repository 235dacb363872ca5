#pragma once
// The address of a Unix-domain socket file, whatever the length of its folder's path. An address
// holds at most a hundred-odd bytes of path; when the whole path does not fit (a deep home
// folder), the folder is opened and the address goes through that descriptor's entry in
// /proc/self/fd, which always fits. The descriptor lives as long as the address: bind or connect
// while it is held. The application, the relay and the Safari handler all reach their sockets so.

#include <optional>
#include <string>

#include <sys/socket.h>
#include <sys/un.h>

namespace velvix::hostchannel {

class SocketAddress {
 public:
  // Nothing when the folder cannot be opened or even the short form does not fit.
  static std::optional<SocketAddress> make(const std::string& folder, const std::string& file);
  // The same, for a whole path: its folder and file name.
  static std::optional<SocketAddress> make(const std::string& path);
  SocketAddress(SocketAddress&& other) noexcept;
  SocketAddress& operator=(SocketAddress&&) = delete;
  SocketAddress(const SocketAddress&) = delete;
  ~SocketAddress();

  const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&address_); }
  socklen_t size() const { return sizeof(address_); }
  // The file's real path (for removing a stale socket file; unlink takes any length).
  const std::string& path() const { return path_; }
  bool throughFolder() const { return folderFD_ >= 0; }

 private:
  SocketAddress() = default;
  sockaddr_un address_{};
  std::string path_;
  int folderFD_ = -1;
};

}  // namespace velvix::hostchannel
