#include "Support/HealthMonitor.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <system_error>

#include <sys/stat.h>
#include <unistd.h>

#include "Platform/InputEvent.hpp"
#include "Platform/InputState.hpp"
#include "Platform/Linux/Files.hpp"
#include "Platform/Linux/LinuxProcessTable.hpp"
#include "Platform/SecureInput.hpp"
#include "Platform/SymbolicHotKeys.hpp"
#include "Support/DebugLog.hpp"
#include "Support/SupportFolder.hpp"

namespace velvix {
namespace {

constexpr std::uint64_t kSlowTickNanos = 100'000'000;

// The value with `digits` decimals, as printf's %.<digits>f writes it.
std::string fixed(double value, int digits) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", digits, value);
  return text;
}

bool atOrAfter(const timespec& time, const timespec& since) {
  return time.tv_sec != since.tv_sec ? time.tv_sec > since.tv_sec : time.tv_nsec >= since.tv_nsec;
}

}  // namespace

HealthMonitor::HealthMonitor(Collaborators collaborators)
    : loop_(collaborators.loop),
      backgroundTimers_(collaborators.backgroundTimers),
      input_(collaborators.input),
      secureInput_(collaborators.secureInput),
      symbolicHotKeys_(collaborators.symbolicHotKeys),
      eventTaps_(collaborators.eventTaps),
      processes_(collaborators.processes),
      keyboards_(collaborators.keyboards),
      workspace_(collaborators.workspace),
      log_(collaborators.log),
      home_(std::move(collaborators.home)),
      lastBeat_(uptimeNanos()) {}

HealthMonitor::~HealthMonitor() {
  // The poll must be over before the state it works on goes.
  pollTask_ = nullptr;
  if (task_) task_->cancel();
  task_.reset();
}

std::filesystem::path HealthMonitor::markerPath() const {
  return SupportFolder::path(home_) / kMarkerName;
}

std::filesystem::path HealthMonitor::crashReportsFolder() const {
  return home_ / "Library" / "Logs" / "DiagnosticReports";
}

std::uint64_t HealthMonitor::uptimeNanos() const {
  // Rounded, so that ticks a tenth of a second apart are never a nanosecond short of it.
  return static_cast<std::uint64_t>(std::llround(loop_.uptime() * 1e9));
}

void HealthMonitor::health(const std::string& line) const {
  log_.health(line);
}

void HealthMonitor::start() {
  if (task_) return;
  // The main thread answers now: a monitor created long before it starts has seen no stall.
  lastBeat_ = uptimeNanos();
  checkPreviousExit();
  heartbeat_ = loop_.every(
      kHeartbeatInterval, [this] { lastBeat_ = uptimeNanos(); }, platform::TimerMode::Common);
  task_ = backgroundTimers_.every(kQueueLabel, kSlowPollInterval, [this] { poll(); });
  pollTask_ = task_.get();
}

void HealthMonitor::markCleanExit() {
  // The poll stops first (its thread is joined), so that nothing it writes lands after the
  // "quit" line that follows.
  pollTask_ = nullptr;
  task_.reset();
  heartbeat_ = {};
  // Only this run's own marker: another copy running beside it keeps its own.
  if (ownMarker_ && markerNamesLiveCopy(*ownMarker_) == ::getpid()) {
    std::error_code ignored;
    std::filesystem::remove(*ownMarker_, ignored);
  }
  ownMarker_.reset();
}

// ---- the previous run

namespace {

std::optional<pid_t> markerPid(const std::filesystem::path& marker) {
  const auto text = files::readAll(marker);
  if (!text) return std::nullopt;
  pid_t pid = 0;
  const char* end = text->data() + text->size();
  if (std::from_chars(text->data(), end, pid).ec != std::errc() || pid <= 0) return std::nullopt;
  return pid;
}

// Whether `pid` is a process running this very program (not this process): a copy that still runs.
bool isOtherCopy(pid_t pid) {
  if (pid == ::getpid()) return false;
  const platform::LinuxProcessTable kernel;
  const auto own = kernel.executablePath(::getpid());
  return own && kernel.executablePath(pid) == own;
}

}  // namespace

std::optional<pid_t> HealthMonitor::markerNamesLiveCopy(const std::filesystem::path& marker) const {
  auto pid = markerPid(marker);
  if (pid && (*pid == ::getpid() || isOtherCopy(*pid))) return pid;
  return std::nullopt;
}

void HealthMonitor::checkPreviousExit() {
  // "running" is the marker of the copy that runs alone; a copy started beside one that is still
  // running (an older copy that did not quit in time) keeps one named after its process. A marker
  // naming a copy that still runs is no crash.
  const auto main = markerPath();
  std::vector<std::filesystem::path> markers{main};
  std::error_code error;
  for (std::filesystem::directory_iterator it(main.parent_path(), error), end; !error && it != end;
       it.increment(error)) {
    const std::string name = it->path().filename().string();
    const std::string prefix = std::string(kMarkerName) + "-";
    if (name.size() > prefix.size() && name.starts_with(prefix) &&
        name.find_first_not_of("0123456789", prefix.size()) == std::string::npos)
      markers.push_back(it->path());
  }
  std::sort(markers.begin() + 1, markers.end());
  bool mainTaken = false;
  for (const auto& marker : markers) {
    struct stat info {};
    if (::stat(marker.c_str(), &info) != 0) continue;
    if (auto pid = markerNamesLiveCopy(marker); pid && *pid != ::getpid()) {
      mainTaken = mainTaken || marker == main;
      continue;
    }
    const auto reports = crashReports(info.st_mtim);
    std::string line = "previous run (started " +
                       DebugLog::timestamp(static_cast<double>(info.st_mtim.tv_sec)) +
                       ") ended without quitting: crashed, force quit, killed or logged out";
    for (std::size_t i = 0; i < reports.size(); ++i)
      line += (i == 0 ? "; crash reports: " : ", ") + reports[i];
    health(line);
    if (marker != main) std::filesystem::remove(marker, error);
  }
  const auto own =
      mainTaken ? main.parent_path() / (std::string(kMarkerName) + "-" + std::to_string(::getpid())) : main;
  // A marker that cannot be written only means the next start reports nothing.
  auto problem = SupportFolder::ensure(home_);
  if (!problem) problem = files::writeAtomically(own, std::to_string(::getpid()) + "\n", 0600);
  if (problem) {
    log_.log("clean-exit marker not written: " + *problem);
    return;
  }
  ownMarker_ = own;
}

std::vector<std::string> HealthMonitor::crashReports(const timespec& since) const {
  std::vector<std::string> names;
  std::error_code error;
  for (std::filesystem::directory_iterator it(crashReportsFolder(), error), end; !error && it != end;
       it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (!name.starts_with("Velvix")) continue;
    struct stat info {};
    const timespec modified =
        ::stat(it->path().c_str(), &info) == 0 ? info.st_mtim : timespec{};  // else long ago
    if (atOrAfter(modified, since)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());  // the folder lists in no particular order
  return names;
}

// ---- the poll

void HealthMonitor::poll() {
  const std::uint64_t now = uptimeNanos();
  // Command itself, whatever chord the settings choose.
  const bool commandHeld = (input_.modifierFlags() & platform::EventFlag::kCommand) != 0;
  setFast(commandHeld);
  checkPhysicalPresses(commandHeld, now);
  if (now - lastSlowTick_ >= kSlowTickNanos) {
    lastSlowTick_ = now;
    ++ticks_;
    checkMainThread(now);
    if (ticks_ % kSuspectsEveryTicks == 1) checkSuspects();
  }
}

// Holding Command raises the sampling rate, so that a short Tab tap falls on a poll.
void HealthMonitor::setFast(bool fast) {
  platform::RepeatingTask* task = pollTask_.load();
  if (fast == fast_ || !task) return;
  fast_ = fast;
  task->setInterval(fast ? kFastPollInterval : kSlowPollInterval);
}

void HealthMonitor::checkPhysicalPresses(bool commandHeld, std::uint64_t now) {
  const bool tabDown = commandHeld && input_.isKeyDown(platform::KeyCode::kTab);
  const int seen = arrivals_.load();
  if (!tabDown) {
    arrivalsWhileUp_ = seen;
  } else if (!tabWasDown_ && owns_.load()) {
    // Arrived means: one more press counted than before this one (or than the previous press needed).
    const int needs = std::max(arrivalsWhileUp_, lastNeeds_) + 1;
    lastNeeds_ = needs;
    pendingPresses_.push_back({now + kArrivalDeadlineNanos, needs, loop_.now()});
  }
  tabWasDown_ = tabDown;
  while (!pendingPresses_.empty()) {
    const PendingPress press = pendingPresses_.front();
    if (seen < press.needs && now < press.deadline) break;  // it may still arrive
    pendingPresses_.pop_front();
    if (seen < press.needs) reportMissed(press.at);
  }
}

void HealthMonitor::checkMainThread(std::uint64_t now) {
  const std::uint64_t beat = lastBeat_.load();
  // A heartbeat stamped after `now` was read is no stall (and must not wrap around).
  const double stall = now > beat ? static_cast<double>(now - beat) / 1e9 : 0.0;
  if (stall >= kStallThreshold && !hungSince_) {
    hungSince_ = beat;
    health("main thread unresponsive for " + fixed(stall, 1) +
           "s and counting; the event tap is starved until it returns, so ⌘Tab can reach the native switcher "
           "meanwhile");
  } else if (stall < kStallThreshold && hungSince_) {
    const double duration = static_cast<double>(beat - *hungSince_) / 1e9;
    hungSince_.reset();
    health("main thread responsive again after ~" + fixed(duration, 1) + "s");
  }
}

void HealthMonitor::checkSuspects() {
  const std::string text = suspects();
  if (knownSuspects_ == text) return;
  std::string line = "input suspects changed: " + text;
  if (auto latency = keyboardTaps().ownMaxLatency)
    line += "; Velvix tap max latency " + fixed(*latency, 0) + "ms";
  health(line);
  knownSuspects_ = text;
}

void HealthMonitor::reportMissed(double at) {
  const bool secure = secureInput_.isEnabled();
  const auto& keys = symbolicHotKeys_;
  const bool systemSwitcherOn = keys.isEnabled(platform::SymbolicHotKeys::kCommandTab) ||
                                keys.isEnabled(platform::SymbolicHotKeys::kCommandShiftTab);
  const char* reason = systemSwitcherOn ? "it went to the native switcher, since the system ⌘Tab was ON"
                                        : "something upstream swallowed it, since the system ⌘Tab was off";
  health("⌘TAB MISSED: pressed on the keyboard at " + DebugLog::timestamp(at) +
         " but never reached Velvix's tap or its fallback hotkey; " + reason + " (secure input " +
         (secure ? "on" : "off") + (hungSince_ ? ", main thread hung" : "") + "); suspects: " + suspects());
  notifyFault();
}

void HealthMonitor::notifyFault() {
  loop_.post([this, watch = alive_.watch()] {
    if (!watch.expired() && onFault) onFault();
  });
}

}  // namespace velvix
