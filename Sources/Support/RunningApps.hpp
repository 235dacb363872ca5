#pragma once
// The live running instance of an application, by bundle identifier. While the workspace's list
// for an identifier is momentarily empty (it lags behind launches and relaunches) it keeps
// answering with the instance it saw last, as long as that process still exists.

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

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

  // While one is alive, each identifier is answered from what was found the first time it was
  // asked: the work of a chord's start asks for the same browsers within microseconds. Nests; the
  // last one to go ends the sharing.
  class SharedAnswers {
   public:
    explicit SharedAnswers(RunningApps& apps);
    ~SharedAnswers();
    SharedAnswers(const SharedAnswers&) = delete;
    SharedAnswers& operator=(const SharedAnswers&) = delete;

   private:
    RunningApps& apps_;
  };

 private:
  std::optional<platform::RunningApplication> findNow(const std::string& bundleID);

  const platform::Workspace& workspace_;
  const platform::ProcessTable& processes_;
  std::mutex lock_;
  std::map<std::string, platform::RunningApplication> lastSeen_;
  int sharing_ = 0;  // these two under the lock
  std::vector<std::pair<std::string, std::optional<platform::RunningApplication>>> shared_;
};

}  // namespace velvix
