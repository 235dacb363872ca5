#pragma once
// Runs one chord at a time: from the first trigger-Tab press (the chord opens) through steps, row
// moves, closes and tab moves, to the release of the trigger modifier (the chord commits and the
// selection is activated) or a cancel. It takes the ranked list when the chord opens and keeps a
// private copy, shows the HUD after 0.1 s (at once on a further Tab, never for a quick tap),
// guards against a lost modifier release with two timers, and checks browser tabs in the
// background while the chord is open. Main thread only.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Core/ChordSnapshot.hpp"
#include "Core/SwitchableItem.hpp"
#include "Platform/Geometry.hpp"
#include "Platform/MainLoop.hpp"
#include "Support/AliveToken.hpp"

namespace velvix {

struct Services;
class HUDController;

class SwitcherController {
 public:
  static constexpr double kHUDRevealDelay = 0.1;
  static constexpr double kStuckChordInterval = 1.0;
  static constexpr int kStuckChordTicks = 2;
  static constexpr double kReleasePollInterval = 0.03;
  static constexpr double kSlowBeginMilliseconds = 100;
  static constexpr double kSnapshotFreshFor = 1.5;

  explicit SwitcherController(Services& services);
  ~SwitcherController();

  // The open chord's entries; nothing when no chord is open.
  const std::optional<std::vector<SwitchableItem>>& session() const { return session_; }
  std::size_t index() const { return index_; }
  bool isHUDShown() const { return hudShown_; }
  std::uint64_t generation() const { return generation_; }
  HUDController& hud() { return *hud_; }

  // Opens a chord; false when the list is empty (no chord).
  bool begin(bool reverse, bool watchingRelease);
  void step(bool reverse);
  void stepRow(bool down);
  void commit();
  void cancel();
  void watchForRelease();
  // A mouse-down anywhere (global, top-left origin): outside the HUD it dismisses the chord.
  void handleMouseDown(Point location);
  void closeItem(std::size_t position);
  void moveTab(std::size_t from, std::size_t onto);

  // The trigger modifier of the chord: Option in Option-Tab mode, else Command.
  std::uint64_t triggerFlag() const;

 private:
  bool triggerHeld() const;
  void showHUD();
  void showHUDSoon();
  void startStuckChordWatchdog();
  void stopStuckChordWatchdog();
  void verifySession(const std::vector<SwitchableItem>& list);
  void verifyBrowsers(const std::array<bool, browsers::kCount>& listed, std::uint64_t generation);
  void pruneSession(Browser browser, const std::set<std::string>& removed, std::size_t liveKeys);
  void logSnapshot(const std::vector<SwitchableItem>& list) const;
  void closeChord();

  Services& services_;
  std::optional<std::vector<SwitchableItem>> session_;
  // The entries of the chord that ended last, for the next chord to rank into: their storage
  // serves again instead of being freed and allocated anew at every chord.
  std::vector<SwitchableItem> spare_;
  // What the last chord's start read of the platform. It serves only inside begin, but is kept
  // past it: freeing the window server's rows (thousands of small blocks) is no part of the
  // answer to the key press. It goes at the loop's next turn after the chord
  // opened, with the browsers' checks, or when the next chord starts.
  std::optional<ChordSnapshot> lastSnapshot_;
  std::size_t index_ = 0;
  std::unique_ptr<HUDController> hud_;
  std::uint64_t generation_ = 0;
  platform::Timer hudRevealTimer_;
  bool hudShown_ = false;
  bool hudPending_ = false;  // shown for the chord, on screen at the loop's next turn
  platform::Timer stuckChordTimer_;
  int chordModifierUpTicks_ = 0;
  platform::Timer releasePoll_;
  AliveToken alive_;
};

}  // namespace velvix
