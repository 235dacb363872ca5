#pragma once
// The live running instance of an application, by bundle identifier. While the workspace's list
// for an identifier is momentarily empty (it lags behind launches and relaunches) it keeps
// answering with the instance it saw last, as long as that process still exists. A chord's start
// asks once per browser, through its ChordSnapshot.

#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "Platform/Workspace.hpp"

namespace velvix {
namespace platform {
class ProcessTable;
}

class RunningApps {
 public:
  RunningApps(const platform::Workspace& workspace, const platform::ProcessTable& processes)
      : workspace_(workspace), processes_(processes) {}

  // Thread-safe.
  std::optional<platform::RunningApplication> first(const std::string& bundleID);

 private:
  const platform::Workspace& workspace_;
  const platform::ProcessTable& processes_;
  std::mutex lock_;
  std::map<std::string, platform::RunningApplication> lastSeen_;  // under the lock
};

}  // namespace velvix
