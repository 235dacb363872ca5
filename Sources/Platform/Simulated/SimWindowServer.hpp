#pragma once
// The window-server facade of the simulated desktop: rows built from the desktop's windows front
// to back, Space answers from its displays, and the faults of WindowServerFaults. Each window's
// row is kept and made again only when what it says changed, and the list itself is kept while
// the desktop does not change, so a desktop of thousands of windows is listed without building
// its rows again at every read.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include "Platform/Geometry.hpp"
#include "Platform/WindowServer.hpp"

namespace velvix::sim {

class SimDesktop;
struct SimWindow;

class SimWindowServer final : public platform::WindowServer {
 public:
  explicit SimWindowServer(SimDesktop& desktop) : desktop_(desktop) {}

  std::optional<platform::WindowRows> windowList(std::uint32_t options) const override;
  int mainConnection() const override { return 0x5a07; }
  std::optional<nlohmann::json> managedDisplaySpaces(int connection) const override;
  std::optional<nlohmann::json> spacesForWindows(
      int connection, std::uint32_t mask, const std::vector<std::int64_t>& windowNumbers) const override;

 private:
  // What a window's row says, to tell whether the row kept for it still says it.
  struct Said {
    std::int64_t owner = 0;
    int layer = 0;
    double alpha = 1;
    Rect bounds;
    std::optional<std::string> title;
    std::optional<std::string> ownerName;
    bool onScreen = false;
    bool operator==(const Said&) const = default;
  };
  struct Kept {
    Said said;
    std::shared_ptr<const platform::WindowRow> row;
    std::uint64_t seen = 0;  // the pass that last listed it
  };
  const std::shared_ptr<const platform::WindowRow>& rowFor(const SimWindow& window, Said said) const;
  // The desktop's windows front to back, all of them and those on screen, as of `listed_`.
  void relist() const;

  SimDesktop& desktop_;
  // Rows by window number: the cache of the rows, as big as the desktop's windows (a closed
  // window's row goes at the next pass).
  mutable std::unordered_map<std::int64_t, Kept> rows_;
  mutable std::uint64_t pass_ = 0;
  mutable std::optional<std::uint64_t> listed_;  // the desktop's revision the lists below show
  mutable platform::WindowRows all_;
  mutable platform::WindowRows onScreen_;
};

}  // namespace velvix::sim
