#pragma once
// Small still pictures of application windows, taken ahead of time so the HUD can show a
// thumbnail the moment a chord opens. Pictures are stored under item ids (one picture of a browser
// window serves its application entry and its most recent tab). The store decides whether capture
// is allowed at all, refuses while secure input is on or for excluded applications, waits for a
// window to stop moving, trims transparent margins and keeps at most 80 pictures within a byte
// budget, the oldest going first. Main thread.
//
// Every time here is on the monotonic clock (MainLoop::uptime), so a clock change cannot make a
// picture look fresh or a failure look old.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Platform/Geometry.hpp"
#include "Platform/NotificationCenter.hpp"
#include "Platform/RGBAImage.hpp"
#include "Platform/Workspace.hpp"
#include "Support/AliveToken.hpp"

namespace velvix {

class DebugLog;
class MRUManager;
class Preferences;
class WindowList;
namespace platform {
class MainLoop;
class Privacy;
class ScreenCapture;
class Screens;
class SecureInput;
class WindowServer;
}  // namespace platform

class ThumbnailStore {
 public:
  static constexpr const char* kDidCaptureNotification = "ThumbnailStoreDidCapture";
  static constexpr std::size_t kCapacity = 80;
  // The pictures' pixels together stay within this many bytes (a picture kept under several ids
  // counts once): 80 stills of large windows would otherwise hold 50 MB. 18 MiB still keeps some
  // 30 stills of large windows, more than a HUD usually shows, and keeps the whole program under
  // 60 MB with the HUD shown.
  static constexpr std::size_t kByteBudget = 18 * 1024 * 1024;
  static constexpr double kFreshFor = 1.5;
  static constexpr double kRetryInterval = 1.5;
  static constexpr double kRetryAfterFailures = 60.0;
  static constexpr int kFailuresBeforeBackOff = 3;
  static constexpr double kMissingWindowRetry = 60.0;
  static constexpr double kSettleDelay = 0.7;
  static constexpr double kSettleSample = 0.2;
  static constexpr double kSettleRetry = 0.4;
  static constexpr int kSettleTries = 4;
  static constexpr int kMaxPixelWidth = 480;
  static constexpr double kMinAlpha = 0.999;
  static constexpr std::size_t kAttemptsPruneAbove = 300;

  struct Entry {
    RGBAImage image;
    std::optional<std::string> title;  // the window's title at capture time
    double takenAt = 0;
  };

  // What the store captures with and asks before it does.
  struct Collaborators {
    const platform::Workspace& workspace;        // whose window it is, and which is this program
    const platform::WindowServer& windowServer;  // whether a window has settled
    const WindowList& windowList;                // which windows to picture
    platform::ScreenCapture& screenCapture;
    const platform::Screens& screens;  // the backing scale of the Dock peek's stills
    const platform::Privacy& privacy;  // whether screen recording is allowed
    const platform::SecureInput& secureInput;
    const Preferences& preferences;               // thumbnails on or off, and the excluded applications
    const MRUManager& mru;                        // which tab a browser's window shows
    platform::NotificationCenter& notifications;  // changes of the settings; each capture stored
    platform::MainLoop& loop;
    DebugLog& log;
  };

  explicit ThumbnailStore(const Collaborators& collaborators);

  // The picture kept under the id, or null. It stays valid until the store next changes, so a
  // caller that keeps the picture copies the image (which shares its pixels).
  const Entry* entry(const std::string& id) const {
    auto it = images_.find(id);
    return it == images_.end() ? nullptr : &it->second;
  }
  bool contains(const std::string& id) const { return images_.contains(id); }
  // How many ids have a picture.
  std::size_t count() const { return images_.size(); }
  // The bytes the pictures' pixels take, a picture kept under several ids counted once.
  std::size_t pixelBytes() const;

  // Also keeps a capture under way from storing a picture for the id.
  void remove(const std::string& id);
  // Forgets every picture; a capture under way still stores its own.
  void clear() { images_.clear(); }
  // Moves a picture to a new id; a newer picture already there wins.
  void rekey(const std::string& from, const std::string& to);

  // No capture of the window before `until` (monotonic), replacing any earlier hold: the Dock
  // holds a window it minimizes or brings forward, as its animation would smear the picture.
  void holdCaptures(std::int64_t windowNumber, double until) { heldUntil_[windowNumber] = until; }
  // A hold is recorded for the window; one that ran out is forgotten at the next capture asked for.
  bool hasHold(std::int64_t windowNumber) const { return heldUntil_.contains(windowNumber); }

  // Puts an entry under the id as it is: no eviction and no notification.
  void storeForTesting(const std::string& id, Entry entry) { images_[id] = std::move(entry); }

  // Capture is allowed: thumbnails are on and screen-recording access is granted.
  bool isAvailable() const;
  // Secure input is on, or the process belongs to an excluded application.
  bool captureForbidden(platform::Pid pid) const;

  void seedVisibleWindows();
  void captureOneMissingWindow();
  void captureFrontWindow(platform::Pid pid, std::vector<std::string> keys, bool settled);
  void captureWhenSettled(std::int64_t number, platform::Pid pid, std::vector<std::string> keys, double after,
                          int attempt);
  // `completion` runs exactly once: when the capture ends, or at once when nothing is done.
  void captureWindow(std::int64_t number, platform::Pid pid, std::vector<std::string> keys, bool force,
                     std::function<void()> completion = {});

  // The largest backing scale of all screens; 2.0 without screens.
  double densestBackingScale() const;
  // A full-resolution still of one window for the Dock peek; never cached.
  void captureAtWindowScale(std::int64_t windowNumber,
                            std::function<void(std::optional<RGBAImage>)> completion);

 private:
  struct WindowState {
    Rect bounds;
    bool onScreen = false;
    double alpha = 1.0;
    bool operator==(const WindowState&) const = default;
  };
  struct Captured {
    RGBAImage image;
    std::optional<std::string> title;
  };

  bool isHeld(std::int64_t number);
  std::optional<WindowState> windowState(std::int64_t number) const;
  void capture(std::int64_t number, std::function<void(std::optional<Captured>)> done);
  void store(const RGBAImage& image, const std::optional<std::string>& title,
             const std::vector<std::string>& keys);
  void evictOverLimits(double storedAt);
  void purgeExcluded();
  // The key belongs to an application in the exclusion list.
  bool isExcludedKey(const std::string& key) const;
  std::optional<platform::RunningApplication> applicationOf(platform::Pid pid) const;
  static std::string describe(const std::optional<WindowState>& state);
  double now() const;

  const platform::Workspace& workspace_;
  const platform::WindowServer& windowServer_;
  const WindowList& windowList_;
  platform::ScreenCapture& screenCapture_;
  const platform::Screens& screens_;
  const platform::Privacy& privacy_;
  const platform::SecureInput& secureInput_;
  const Preferences& preferences_;
  const MRUManager& mru_;
  platform::NotificationCenter& notifications_;
  platform::MainLoop& loop_;
  DebugLog& log_;
  std::map<std::string, Entry> images_;
  // Windows not to capture until the given time.
  std::map<std::int64_t, double> heldUntil_;
  std::set<std::string> inFlight_;
  // Ids removed while some capture was under way.
  std::set<std::string> removedWhileCapturing_;
  std::map<std::string, double> attempts_;
  std::map<std::string, int> failures_;
  std::vector<std::string> knownExclusions_;
  platform::NotificationCenter::Observation preferencesObservation_;
  AliveToken alive_;
};

}  // namespace velvix
