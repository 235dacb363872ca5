#include "Platform/Simulated/SimUpdater.hpp"

#include "Platform/MainLoop.hpp"

namespace velvix::sim {

void SimUpdater::announceRelaunch() {
  if (willRelaunch_) loop_.post(willRelaunch_);
}

}  // namespace velvix::sim
