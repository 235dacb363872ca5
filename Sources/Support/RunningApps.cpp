#include "Support/RunningApps.hpp"

#include "Platform/ProcessTable.hpp"

namespace velvix {

RunningApps::SharedAnswers::SharedAnswers(RunningApps& apps) : apps_(apps) {
  std::lock_guard lock(apps_.lock_);
  ++apps_.sharing_;
}

RunningApps::SharedAnswers::~SharedAnswers() {
  std::lock_guard lock(apps_.lock_);
  if (--apps_.sharing_ == 0) apps_.shared_.clear();
}

std::optional<platform::RunningApplication> RunningApps::first(const std::string& bundleID) {
  {
    std::lock_guard lock(lock_);
    if (sharing_ > 0)
      for (const auto& [id, answer] : shared_)
        if (id == bundleID) return answer;
  }
  auto answer = findNow(bundleID);
  std::lock_guard lock(lock_);
  if (sharing_ > 0) shared_.emplace_back(bundleID, answer);
  return answer;
}

std::optional<platform::RunningApplication> RunningApps::findNow(const std::string& bundleID) {
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
