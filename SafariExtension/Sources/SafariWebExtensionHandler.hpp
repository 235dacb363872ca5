#pragma once
// The native side of the Safari web extension: forwards each message of the extension's script,
// unchanged but for an added "browser" key, to the application's message port and returns the
// application's JSON reply (or {"ok": true} whenever no better one arrives). Keeps no state
// between messages; each request blocks its calling thread for at most the port's time-outs.

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "ExtensionContext.h"

namespace velvix::safari {

class SafariWebExtensionHandler {
 public:
  // A stopped application's port stops accepting; its connect is bounded as sending is.
  static constexpr double kConnectTimeout = 0.5;
  static constexpr double kSendTimeout = 2.0;
  static constexpr double kReceiveTimeout = 0.5;
  // Arrays and dictionaries nested deeper than this make a message unusable (the application
  // refuses deeper reports); converting it recurses once per level on Safari's thread.
  static constexpr int kMaxNesting = 64;

  // Handles one message and completes the request exactly once, whatever happens.
  void beginRequest(const VelvixExtensionContext& context);

  // The message as JSON, or nothing when it holds a value that JSON cannot represent or nests
  // deeper than kMaxNesting (`depth`: the containers it sits in).
  static std::optional<nlohmann::json> toJSON(const VelvixValue& value, int depth = 0);

 private:
  // The reply of the application's port to `message`, when it gave a usable one.
  static std::optional<nlohmann::json> relay(const std::string& label, const std::string& message);
};

}  // namespace velvix::safari
