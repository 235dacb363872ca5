#include "Bridge/SafariPortServer.hpp"

#include "Platform/Utf8.hpp"
#include "Support/ProcessLog.hpp"

namespace velvix {

SafariPortServer::SafariPortServer(platform::MessagePorts& ports, MessageHandler onMessage)
    : ports_(ports), onMessage_(std::move(onMessage)) {}

bool SafariPortServer::start() {
  if (port_) return true;
  // The message id is not examined: the handler always sends 0.
  port_ = ports_.createLocal(std::string(kPortName),
                             [this](std::int32_t, std::string data) { return serve(data); });
  if (!port_) {
    processLog("Velvix: failed to register Safari message port");
    return false;
  }
  return true;
}

std::optional<std::string> SafariPortServer::serve(const std::string& data) {
  if (data.empty() || data.size() > kMaxRequestBytes || !utf8::isValid(data)) return std::nullopt;
  return onMessage_ ? std::optional<std::string>(onMessage_(data)) : std::nullopt;
}

}  // namespace velvix
