#pragma once
// What the relay program and the application agree on about the socket between them: where it
// lives under the user's home folder and the largest message. Both sides compile this header, so
// they cannot drift apart.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velvix::hostchannel {

// Relative to the user's home folder.
inline constexpr std::string_view kSocketRelativePath = "Library/Application Support/Velvix/velvix.sock";
// The largest browser message the relay carries (4 MiB).
inline constexpr std::uint32_t kMaxFrameBytes = 4 * 1024 * 1024;

// The socket's file-system path under `home`.
std::string socketPath(std::string_view home);
// The home folder both sides use: VELVIX_HOME when set (a run pointed at a scratch folder), else
// HOME, else the account's home folder from the user database; empty when none is known.
std::string homeFolder();

}  // namespace velvix::hostchannel
