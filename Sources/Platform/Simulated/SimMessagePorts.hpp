#pragma once
// Used by the tests only: the program talks over the Unix message ports, as its other processes
// do; the tests' world uses these so every request is answered at once and in order.
// Message ports of the simulated desktop: names registered in this world, requests answered at
// once by the registered handler on the calling (main) thread, as a port of the same process is.
// A name in `heldElsewhere` belongs to another process: it cannot be registered here.

#include <map>
#include <memory>
#include <set>
#include <string>

#include "Platform/MessagePorts.hpp"

namespace velvix::sim {

class SimMessagePorts final : public platform::MessagePorts {
 public:
  std::unique_ptr<platform::LocalPort> createLocal(const std::string& name, Handler handler) override;
  std::unique_ptr<platform::RemotePort> createRemote(const std::string& name) override;

  std::set<std::string> heldElsewhere;
  // How many times a name was registered.
  int registrations = 0;

 private:
  // Shared with the ports, so a port that outlives the registry finds nothing rather than crashing.
  std::shared_ptr<std::map<std::string, Handler>> ports_ = std::make_shared<std::map<std::string, Handler>>();
};

}  // namespace velvix::sim
