#pragma once
// The window server: its list of windows front to back, with loosely typed rows, and the Space
// queries (which Spaces the displays show now, which Spaces a window lies on). Rows and Space
// answers are JSON because the real answers are loosely typed dictionaries: callers must check
// every field's type.

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include <nlohmann/json.hpp>

namespace velvix::platform {

// Keys of a window-list row.
namespace WindowKey {
inline constexpr const char* kNumber = "number";          // integer
inline constexpr const char* kOwnerPID = "ownerPID";      // integer
inline constexpr const char* kName = "name";              // string, only when the window has one
inline constexpr const char* kBounds = "bounds";          // {"X","Y","Width","Height"} numbers
inline constexpr const char* kIsOnscreen = "isOnscreen";  // Boolean, only for windows on screen
inline constexpr const char* kLayer = "layer";            // integer window level
inline constexpr const char* kOwnerName = "ownerName";    // string
inline constexpr const char* kAlpha = "alpha";            // number
}  // namespace WindowKey

// A row of the window list: a loosely typed dictionary whose entries lie together in the order
// they were put in.
using WindowRow = nlohmann::ordered_json;
// The window list: its rows are shared by whoever holds them, as the system's own list shares its
// dictionaries, so keeping or passing on an answer copies no row.
using WindowRows = std::vector<std::shared_ptr<const WindowRow>>;

// Window-list options (bit values as the window server takes them).
inline constexpr std::uint32_t kWindowListOnScreenOnly = 1;
inline constexpr std::uint32_t kWindowListExcludeDesktopElements = 16;

class WindowServer {
 public:
  virtual ~WindowServer() = default;

  // The windows front to back; nothing when the list cannot be read.
  virtual std::optional<WindowRows> windowList(std::uint32_t options) const = 0;
  virtual int mainConnection() const = 0;
  // One entry per display: {"Current Space": {"ManagedSpaceID": n}, "Spaces": [...]}; nothing
  // when the call fails.
  virtual std::optional<nlohmann::json> managedDisplaySpaces(int connection) const = 0;
  // The Space identifiers of the given windows (mask 7: all Spaces); nothing when the call fails.
  virtual std::optional<nlohmann::json> spacesForWindows(
      int connection, std::uint32_t mask, const std::vector<std::int64_t>& windowNumbers) const = 0;
};

}  // namespace velvix::platform
