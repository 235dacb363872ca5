#include "Support/RunningApps.hpp"

#include "Platform/ProcessTable.hpp"

namespace velvix {

std::optional<platform::RunningApplication> RunningApps::first(const std::string& bundleID) {
  auto running = workspace_.runningApplications(bundleID);
  if (!running.empty()) {
    std::lock_guard lock(lock_);
    lastSeen_[bundleID] = running.front();
    return running.front();
  }
  std::optional<platform::RunningApplication> remembered;
  {
    std::lock_guard lock(lock_);
    if (auto it = lastSeen_.find(bundleID); it != lastSeen_.end()) remembered = it->second;
  }
  if (!remembered) return std::nullopt;
  // The probe runs outside the lock: it is a system call and may be slow.
  if (!remembered->isTerminated && remembered->pid >= 1 && !workspace_.isTerminated(remembered->pid) &&
      processes_.probe(remembered->pid) != platform::ProcessTable::Probe::gone)
    return remembered;
  std::lock_guard lock(lock_);
  lastSeen_.erase(bundleID);
  return std::nullopt;
}

}  // namespace velvix
