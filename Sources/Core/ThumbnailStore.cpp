#include "Core/ThumbnailStore.hpp"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "Core/MRUManager.hpp"
#include "Core/Preferences.hpp"
#include "Core/WindowList.hpp"
#include "Platform/MainLoop.hpp"
#include "Platform/Privacy.hpp"
#include "Platform/ScreenCapture.hpp"
#include "Platform/Screens.hpp"
#include "Platform/SecureInput.hpp"
#include "Platform/WindowServer.hpp"
#include "Support/Browser.hpp"
#include "Support/DebugLog.hpp"
#include "Support/OnMainLoop.hpp"

namespace velvix {

using platform::Pid;

ThumbnailStore::ThumbnailStore(const Collaborators& c)
    : workspace_(c.workspace),
      windowServer_(c.windowServer),
      windowList_(c.windowList),
      screenCapture_(c.screenCapture),
      screens_(c.screens),
      privacy_(c.privacy),
      secureInput_(c.secureInput),
      preferences_(c.preferences),
      mru_(c.mru),
      notifications_(c.notifications),
      loop_(c.loop),
      log_(c.log) {
  preferencesObservation_ = notifications_.observe(Preferences::kChangedNotification, loop_,
                                                   [this](const auto&) { purgeExcluded(); });
}

double ThumbnailStore::now() const {
  return loop_.uptime();
}

bool ThumbnailStore::isAvailable() const {
  return preferences_.showThumbnails.get() && privacy_.screenCapturePreflight();
}

std::optional<platform::RunningApplication> ThumbnailStore::applicationOf(Pid pid) const {
  auto app = workspace_.application(pid);
  if (!app || !app->bundleIdentifier) return std::nullopt;
  return app;
}

bool ThumbnailStore::captureForbidden(Pid pid) const {
  if (secureInput_.isEnabled()) return true;
  auto app = applicationOf(pid);
  if (!app) return false;
  const auto& excluded = preferences_.excludedBundleIDs.get();
  return std::find(excluded.begin(), excluded.end(), *app->bundleIdentifier) != excluded.end();
}

bool ThumbnailStore::isHeld(std::int64_t number) {
  auto it = heldUntil_.find(number);
  if (it == heldUntil_.end()) return false;
  if (it->second > now()) return true;
  heldUntil_.erase(it);
  return false;
}

std::optional<ThumbnailStore::WindowState> ThumbnailStore::windowState(std::int64_t number) const {
  auto rows = windowServer_.windowList(0);
  if (!rows) return std::nullopt;
  for (const auto& shared : *rows) {
    if (!shared || !shared->is_object()) continue;
    const platform::WindowRow& row = *shared;
    auto n = row.find(platform::WindowKey::kNumber);
    if (n == row.end() || !n->is_number_integer() || n->get<std::int64_t>() != number) continue;
    auto b = row.find(platform::WindowKey::kBounds);
    if (b == row.end() || !b->is_object()) return std::nullopt;
    WindowState state;
    double* fields[] = {&state.bounds.x, &state.bounds.y, &state.bounds.width, &state.bounds.height};
    const char* names[] = {"X", "Y", "Width", "Height"};
    for (int i = 0; i < 4; ++i) {
      auto f = b->find(names[i]);
      if (f == b->end() || !f->is_number()) return std::nullopt;
      *fields[i] = f->get<double>();
    }
    auto onScreen = row.find(platform::WindowKey::kIsOnscreen);
    state.onScreen = onScreen != row.end() && onScreen->is_boolean() && onScreen->get<bool>();
    auto alpha = row.find(platform::WindowKey::kAlpha);
    state.alpha = alpha != row.end() && alpha->is_number() ? alpha->get<double>() : 1.0;
    return state;
  }
  return std::nullopt;
}

void ThumbnailStore::seedVisibleWindows() {
  if (!isAvailable()) return;
  const std::string self = workspace_.ownBundleIdentifier();
  std::set<std::string> browsersSeen;
  // Front to back, as many windows as the store keeps pictures: on a desktop of thousands of
  // windows the pictures of the rest would be taken only to be thrown away, all in flight at once.
  std::size_t seeded = 0;
  for (const auto& w : windowList_.realWindows(true)) {
    if (seeded == kCapacity) break;
    auto app = applicationOf(w.pid);
    if (!app) continue;
    const std::string& bundle = *app->bundleIdentifier;
    if (app->activationPolicy != platform::ActivationPolicy::Regular && bundle != self) continue;
    std::vector<std::string> keys;
    if (auto browser = browsers::fromBundleID(bundle)) {
      if (!browsersSeen.insert(bundle).second) continue;  // only the browser's front window
      keys = {SwitchableItem::appID(bundle)};
      if (auto tab = mru_.mostRecentTabItemID(*browser)) keys.insert(keys.begin(), *tab);
    } else {
      keys = {SwitchableItem::windowItemID(bundle, w.windowNumber)};
    }
    captureWindow(w.windowNumber, w.pid, std::move(keys), false);
    ++seeded;
  }
}

void ThumbnailStore::captureOneMissingWindow() {
  if (!isAvailable()) return;
  for (const auto& w : windowList_.realWindows(false)) {
    auto app = applicationOf(w.pid);
    if (!app || app->activationPolicy != platform::ActivationPolicy::Regular) continue;
    if (browsers::fromBundleID(*app->bundleIdentifier)) continue;
    const std::string key = SwitchableItem::windowItemID(*app->bundleIdentifier, w.windowNumber);
    if (images_.contains(key)) continue;
    auto attempt = attempts_.find(key);
    if (attempt != attempts_.end() && now() - attempt->second < kMissingWindowRetry) continue;
    captureWhenSettled(w.windowNumber, w.pid, {key}, kSettleDelay, 0);
    return;
  }
}

void ThumbnailStore::captureFrontWindow(Pid pid, std::vector<std::string> keys, bool settled) {
  auto front = windowList_.frontWindow(pid);
  if (!front) return;
  if (auto app = applicationOf(pid)) {
    const std::string own = SwitchableItem::windowItemID(*app->bundleIdentifier, front->windowNumber);
    if (std::find(keys.begin(), keys.end(), own) == keys.end()) keys.push_back(own);
  }
  if (settled) {
    captureWhenSettled(front->windowNumber, pid, std::move(keys), kSettleDelay, 0);
  } else {
    captureWindow(front->windowNumber, pid, std::move(keys), false);
  }
}

// A window is captured only once two samples 0.2 s apart agree and it is fully opaque: a window
// that is still moving, resizing or fading in would give a smeared or half-transparent picture.
void ThumbnailStore::captureWhenSettled(std::int64_t number, Pid pid, std::vector<std::string> keys,
                                        double after, int attempt) {
  if (!isAvailable() || attempt >= kSettleTries) return;
  auto watch = alive_.watch();
  loop_.postAfter(after, [this, watch, number, pid, keys, attempt] {
    if (watch.expired()) return;
    auto retry = [this, number, pid, keys, attempt] {
      captureWhenSettled(number, pid, keys, kSettleRetry, attempt + 1);
    };
    if (isHeld(number)) {
      retry();
      return;
    }
    auto first = windowState(number);
    loop_.postAfter(kSettleSample, [this, watch, number, pid, keys, first, retry] {
      if (watch.expired()) return;
      auto second = windowState(number);
      if (!first) {
        if (second) retry();
        return;
      }
      if (!second) return;
      if (*first == *second && first->alpha >= kMinAlpha) {
        captureWindow(number, pid, keys, true);
        return;
      }
      retry();
    });
  });
}

void ThumbnailStore::captureWindow(std::int64_t number, Pid pid, std::vector<std::string> keys, bool force,
                                   std::function<void()> completion) {
  auto finish = [&completion] {
    if (completion) completion();
  };
  if (!isAvailable() || keys.empty()) return finish();
  const std::string primary = keys.front();
  if (inFlight_.contains(primary) || isHeld(number) || captureForbidden(pid)) return finish();
  const double t = now();
  if (!force) {
    if (auto it = images_.find(primary); it != images_.end() && t - it->second.takenAt < kFreshFor)
      return finish();
    const double interval =
        failures_[primary] >= kFailuresBeforeBackOff ? kRetryAfterFailures : kRetryInterval;
    if (auto it = attempts_.find(primary); it != attempts_.end() && t - it->second < interval)
      return finish();
  }
  attempts_[primary] = t;
  if (attempts_.size() > kAttemptsPruneAbove) {
    std::erase_if(attempts_, [&](const auto& entry) { return entry.second <= t - 60.0; });
    std::erase_if(failures_, [&](const auto& entry) { return !attempts_.contains(entry.first); });
  }
  inFlight_.insert(primary);
  auto watch = alive_.watch();
  capture(number, [this, watch, primary, keys, completion](std::optional<Captured> result) {
    if (watch.expired()) return;
    if (!result) {
      ++failures_[primary];
    } else {
      failures_.erase(primary);
      // Exclusions may have changed while the capture ran: a picture of an application that is
      // excluded now must never be stored.
      // An entry that left the inventory while its picture was taken gets none: it would be an
      // orphan nobody removes.
      std::vector<std::string> wanted;
      for (const auto& key : keys)
        if (!removedWhileCapturing_.contains(key)) wanted.push_back(key);
      if (!wanted.empty() &&
          !std::any_of(keys.begin(), keys.end(), [&](const std::string& key) { return isExcludedKey(key); }))
        store(result->image, result->title, wanted);
    }
    inFlight_.erase(primary);
    for (const auto& key : keys) removedWhileCapturing_.erase(key);
    if (inFlight_.empty()) removedWhileCapturing_.clear();
    if (completion) completion();
  });
}

std::string ThumbnailStore::describe(const std::optional<WindowState>& state) {
  if (!state) return "nil";
  std::ostringstream out;
  out << "{bounds=(" << state->bounds.x << ", " << state->bounds.y << ", " << state->bounds.width << ", "
      << state->bounds.height << ") onScreen=" << (state->onScreen ? "true" : "false")
      << " alpha=" << state->alpha << "}";
  return out.str();
}

void ThumbnailStore::capture(std::int64_t number, std::function<void(std::optional<Captured>)> done) {
  const std::string id = std::to_string(number);
  auto fail = [this, id, done](const std::string& why) {
    log_.log("capture " + id + " failed: " + why);
    done(std::nullopt);
  };
  auto before = windowState(number);
  if (!before) return fail("not in window list");
  if (!(before->alpha >= kMinAlpha)) {
    std::ostringstream alpha;
    alpha << before->alpha;
    return fail("alpha=" + alpha.str());
  }
  using Windows = std::optional<std::vector<platform::ShareableWindow>>;
  using Image = std::optional<RGBAImage>;
  screenCapture_.shareableContent(onMainLoop<Windows, std::string>(
      loop_, alive_.watch(), [this, number, before, fail, done](Windows windows, std::string error) {
        if (!windows) return fail(error);
        auto it = std::find_if(windows->begin(), windows->end(),
                               [&](const platform::ShareableWindow& w) { return w.windowID == number; });
        if (it == windows->end()) return fail("not in shareable content");
        // At most 480 pixels wide, keeping the window's aspect ratio.
        const double w = it->frame.width, h = it->frame.height;
        const double scale = w > 1 ? std::min(kMaxPixelWidth / w, 1.0) : 1.0;
        const int width = std::max(1, static_cast<int>(scale * w));
        const int height = std::max(1, static_cast<int>(scale * h));
        screenCapture_.screenshot(
            number, width, height,
            onMainLoop<Image, std::string>(
                loop_, alive_.watch(),
                [this, number, before, title = it->title, fail, done](Image image, std::string error) {
                  if (!image) return fail(error);
                  // A window that moved, resized or faded while the shot was taken is not stored.
                  auto after = windowState(number);
                  if (!after || !(*after == *before))
                    return fail("state moved " + describe(before) + " -> " + describe(after));
                  RGBAImage picture = image->trimmingTransparentEdges().value_or(*image).withScale(1.0);
                  done(Captured{std::move(picture), title});
                }));
      }));
}

void ThumbnailStore::store(const RGBAImage& image, const std::optional<std::string>& title,
                           const std::vector<std::string>& keys) {
  std::string list = "[";
  for (std::size_t i = 0; i < keys.size(); ++i) list += (i ? ", \"" : "\"") + keys[i] + "\"";
  log_.log("captured " + list + "]");
  const double t = now();
  for (const auto& key : keys) images_[key] = Entry{image, title, t};
  notifications_.post(kDidCaptureNotification, {{"ids", keys}});
  evictOverLimits(t);
}

// Oldest first, until at most kCapacity pictures within kByteBudget remain; what was stored just
// now stays.
void ThumbnailStore::evictOverLimits(double storedAt) {
  std::map<const std::uint8_t*, std::pair<std::size_t, int>> pixels;  // bytes and keys per picture
  std::size_t bytes = 0;
  for (const auto& [key, entry] : images_) {
    auto [it, first] =
        pixels.try_emplace(entry.image.bits(), entry.image.bytesPerRow() * entry.image.pixelHeight(), 0);
    if (first) bytes += it->second.first;
    ++it->second.second;
  }
  if (images_.size() <= kCapacity && bytes <= kByteBudget) return;
  std::vector<std::pair<double, std::string>> byAge;
  for (const auto& [key, entry] : images_) byAge.emplace_back(entry.takenAt, key);
  std::sort(byAge.begin(), byAge.end());
  for (const auto& [takenAt, key] : byAge) {
    if (images_.size() <= kCapacity && bytes <= kByteBudget) break;
    if (takenAt >= storedAt && images_.size() <= kCapacity) break;
    auto it = images_.find(key);
    auto& [size, keys] = pixels[it->second.image.bits()];
    if (--keys == 0) bytes -= size;
    images_.erase(it);
  }
}

std::size_t ThumbnailStore::pixelBytes() const {
  std::set<const std::uint8_t*> counted;
  std::size_t bytes = 0;
  for (const auto& [key, entry] : images_)
    if (counted.insert(entry.image.bits()).second)
      bytes += entry.image.bytesPerRow() * entry.image.pixelHeight();
  return bytes;
}

void ThumbnailStore::remove(const std::string& id) {
  images_.erase(id);
  if (!inFlight_.empty()) removedWhileCapturing_.insert(id);
}

void ThumbnailStore::rekey(const std::string& from, const std::string& to) {
  if (from == to) return;
  auto it = images_.find(from);
  if (it == images_.end()) return;
  Entry moved = std::move(it->second);
  images_.erase(it);
  auto target = images_.find(to);
  if (target != images_.end() && target->second.takenAt >= moved.takenAt) return;
  images_[to] = std::move(moved);
}

bool ThumbnailStore::isExcludedKey(const std::string& key) const {
  for (const auto& b : preferences_.excludedBundleIDs.get()) {
    if (key == "app:" + b || key.rfind("win:" + b + ":", 0) == 0) return true;
    if (auto browser = browsers::fromBundleID(b))
      if (key.rfind("tab:" + std::string(browsers::rawValue(*browser)) + ":", 0) == 0) return true;
  }
  return false;
}

void ThumbnailStore::purgeExcluded() {
  const auto& current = preferences_.excludedBundleIDs.get();
  if (current == knownExclusions_) return;
  knownExclusions_ = current;
  std::erase_if(images_, [&](const auto& entry) { return isExcludedKey(entry.first); });
}

double ThumbnailStore::densestBackingScale() const {
  double densest = 0;
  for (const auto& screen : screens_.screens()) densest = std::max(densest, screen.backingScale);
  return densest > 0 ? densest : 2.0;
}

void ThumbnailStore::captureAtWindowScale(std::int64_t number,
                                          std::function<void(std::optional<RGBAImage>)> completion) {
  if (!isAvailable()) return completion(std::nullopt);
  using Windows = std::optional<std::vector<platform::ShareableWindow>>;
  using Image = std::optional<RGBAImage>;
  screenCapture_.shareableContent(onMainLoop<Windows, std::string>(
      loop_, alive_.watch(), [this, number, completion](Windows windows, std::string) {
        if (!windows) return completion(std::nullopt);
        auto it = std::find_if(windows->begin(), windows->end(),
                               [&](const platform::ShareableWindow& w) { return w.windowID == number; });
        if (it == windows->end()) return completion(std::nullopt);
        if (it->owningPID && captureForbidden(*it->owningPID)) return completion(std::nullopt);
        const double scale = densestBackingScale();
        const int width = std::max(1, static_cast<int>(scale * it->frame.width));
        const int height = std::max(1, static_cast<int>(scale * it->frame.height));
        screenCapture_.screenshot(number, width, height,
                                  onMainLoop<Image, std::string>(
                                      loop_, alive_.watch(), [scale, completion](Image image, std::string) {
                                        completion(image ? Image(image->withScale(scale)) : std::nullopt);
                                      }));
      }));
}

}  // namespace velvix
