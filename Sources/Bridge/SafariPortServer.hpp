#pragma once
// The application's end of the channel to the Safari extension handler: a named message port
// whose every request is one extension report. Each is served on the main loop, handed to
// `onMessage`, and answered with its reply text (the commands due for Safari). Requests that are
// empty, larger than 1 MiB or not UTF-8 get no reply at all.

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "Platform/MessagePorts.hpp"
#include "SafariExtension/Shared/PortChannel.hpp"

namespace velvix {

class SafariPortServer {
 public:
  static constexpr std::string_view kPortName = portchannel::kBridgePortName;
  static constexpr std::size_t kMaxRequestBytes = 1024 * 1024;

  using MessageHandler = std::function<std::string(const std::string& text)>;
  SafariPortServer(platform::MessagePorts& ports, MessageHandler onMessage);

  // Registers the port; true when it is registered (also when it already was). A name held
  // elsewhere is reported to the process log and not retried.
  bool start();
  bool isRegistered() const { return port_ != nullptr; }

  // One request's reply: nothing for missing, oversized or non-UTF-8 data.
  std::optional<std::string> serve(const std::string& data);

 private:
  platform::MessagePorts& ports_;
  MessageHandler onMessage_;
  std::unique_ptr<platform::LocalPort> port_;
};

}  // namespace velvix
