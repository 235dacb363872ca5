#pragma once
// What the relay program and the application agree on about the socket between them: where it
// lives under the user's home folder, how long its path may be, and the largest message. Both
// sides compile this header, so they cannot drift apart.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velvix::hostchannel {

// Relative to the user's home folder.
inline constexpr std::string_view kSocketRelativePath = "Library/Application Support/Velvix/velvix.sock";
// The path field of a Unix-domain socket address as the peers size it, terminating NUL included.
// Linux allows a few bytes more; keeping the smaller limit keeps every peer able to reach the path.
inline constexpr std::size_t kMaxSocketPathBytes = 104;
// The largest browser message the relay carries (4 MiB).
inline constexpr std::uint32_t kMaxFrameBytes = 4 * 1024 * 1024;

// The socket's file-system path under `home`.
std::string socketPath(std::string_view home);
// True when `path` with its terminating NUL fits the address's path field and holds no NUL.
bool fitsSocketAddress(std::string_view path);
// The home folder both sides use: VELVIX_HOME when set (a run pointed at a scratch folder), else
// HOME, else the account's home folder from the user database; empty when none is known.
std::string homeFolder();

}  // namespace velvix::hostchannel
