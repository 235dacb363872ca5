#include "Platform/Simulated/SimMessagePorts.hpp"

namespace velvix::sim {

using platform::PortStatus;
using Ports = std::map<std::string, platform::MessagePorts::Handler>;

namespace {

class SimLocalPort final : public platform::LocalPort {
 public:
  SimLocalPort(std::weak_ptr<Ports> ports, std::string name)
      : ports_(std::move(ports)), name_(std::move(name)) {}
  ~SimLocalPort() override {
    if (auto ports = ports_.lock()) ports->erase(name_);
  }

 private:
  std::weak_ptr<Ports> ports_;
  std::string name_;
};

class SimRemotePort final : public platform::RemotePort {
 public:
  SimRemotePort(std::weak_ptr<Ports> ports, std::string name)
      : ports_(std::move(ports)), name_(std::move(name)) {}
  Reply sendRequest(std::int32_t messageID, std::string_view data, double, double) override {
    auto ports = ports_.lock();
    if (!valid_ || !ports) return {PortStatus::isInvalid, std::nullopt};
    auto port = ports->find(name_);
    if (port == ports->end()) return {PortStatus::isInvalid, std::nullopt};
    auto handler = port->second;  // a handler may unregister its own port
    return {PortStatus::success, handler(messageID, std::string(data))};
  }
  void invalidate() override { valid_ = false; }

 private:
  std::weak_ptr<Ports> ports_;
  std::string name_;
  bool valid_ = true;
};

}  // namespace

std::unique_ptr<platform::LocalPort> SimMessagePorts::createLocal(const std::string& name, Handler handler) {
  if (heldElsewhere.contains(name) || ports_->contains(name)) return nullptr;
  (*ports_)[name] = std::move(handler);
  ++registrations;
  return std::make_unique<SimLocalPort>(ports_, name);
}

std::unique_ptr<platform::RemotePort> SimMessagePorts::createRemote(const std::string& name) {
  if (!ports_->contains(name)) return nullptr;
  return std::make_unique<SimRemotePort>(ports_, name);
}

}  // namespace velvix::sim
