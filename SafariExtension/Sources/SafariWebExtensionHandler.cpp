#include "SafariWebExtensionHandler.hpp"

#include <cmath>
#include <string_view>

#include <unistd.h>

#include "RelayLog.hpp"
#include "SafariExtension/Shared/PortChannel.hpp"
#include "VelvixChromeHost/Shared/HostChannel.hpp"

namespace velvix::safari {

using nlohmann::json;

namespace {

const VelvixValue* lookup(const VelvixValue& dictionary, std::string_view key) {
  for (std::size_t i = 0; i < dictionary.count; ++i) {
    const VelvixValue& k = dictionary.keys[i];
    if (k.kind == VelvixValueString && std::string_view(k.bytes, k.length) == key)
      return &dictionary.items[i];
  }
  return nullptr;
}

// The text of a string value, when JSON can write it (ill-formed UTF-8 it cannot).
std::optional<std::string> jsonText(const VelvixValue& value) {
  std::string text(value.bytes ? value.bytes : "", value.length);
  try {
    (void)json(text).dump();
  } catch (const json::exception&) {
    return std::nullopt;
  }
  return text;
}

bool stringKeyed(const VelvixValue& dictionary) {
  for (std::size_t i = 0; i < dictionary.count; ++i)
    if (dictionary.keys[i].kind != VelvixValueString) return false;
  return true;
}

// Completes the request once, with whatever reply is current when it goes out of scope.
class Completion {
 public:
  explicit Completion(const VelvixExtensionContext& context) : context_(context) {}
  ~Completion() {
    if (!context_.completeRequest) return;
    std::string text;
    try {
      text = json{{VELVIX_EXTENSION_MESSAGE_KEY, reply}}.dump();
    } catch (const json::exception&) {
      text = json{{VELVIX_EXTENSION_MESSAGE_KEY, {{"ok", true}}}}.dump();
    }
    context_.completeRequest(context_.info, text.data(), text.size());
  }
  Completion(const Completion&) = delete;
  Completion& operator=(const Completion&) = delete;

  json reply = {{"ok", true}};

 private:
  const VelvixExtensionContext& context_;
};

}  // namespace

std::optional<json> SafariWebExtensionHandler::toJSON(const VelvixValue& value, int depth) {
  const bool container = value.kind == VelvixValueArray || value.kind == VelvixValueDictionary;
  if (container && depth >= kMaxNesting) return std::nullopt;
  switch (value.kind) {
    case VelvixValueNull:
      return json(nullptr);
    case VelvixValueBoolean:
      return json(value.boolean != 0);
    case VelvixValueInteger:
      return json(value.integer);
    case VelvixValueNumber:
      if (!std::isfinite(value.number)) return std::nullopt;
      return json(value.number);
    case VelvixValueString: {
      auto text = jsonText(value);
      if (!text) return std::nullopt;
      return json(std::move(*text));
    }
    case VelvixValueArray: {
      json array = json::array();
      for (std::size_t i = 0; i < value.count; ++i) {
        auto element = toJSON(value.items[i], depth + 1);
        if (!element) return std::nullopt;
        array.push_back(std::move(*element));
      }
      return array;
    }
    case VelvixValueDictionary: {
      if (!stringKeyed(value)) return std::nullopt;
      json object = json::object();
      for (std::size_t i = 0; i < value.count; ++i) {
        auto element = toJSON(value.items[i], depth + 1);
        auto key = jsonText(value.keys[i]);  // a key must be writable too
        if (!element || !key) return std::nullopt;
        object[std::move(*key)] = std::move(*element);
      }
      return object;
    }
    case VelvixValueData:
    case VelvixValueDate:
      break;
  }
  return std::nullopt;
}

void SafariWebExtensionHandler::beginRequest(const VelvixExtensionContext& context) {
  Completion completion(context);
  if (context.inputItemCount == 0 || !context.inputItems) return;
  const VelvixInputItem& item = context.inputItems[0];
  if (!item.isExtensionItem || !item.userInfo || item.userInfo->kind != VelvixValueDictionary) return;
  const VelvixValue* message = lookup(*item.userInfo, VELVIX_EXTENSION_MESSAGE_KEY);
  if (!message || message->kind != VelvixValueDictionary || !stringKeyed(*message)) return;

  const VelvixValue* event = lookup(*message, "event");
  const std::string label = event && event->kind == VelvixValueString
                                ? std::string(event->bytes ? event->bytes : "", event->length)
                                : "?";
  auto converted = toJSON(*message);
  std::string data;
  if (converted) {
    if (!converted->contains("browser")) (*converted)["browser"] = "safari";
    try {
      data = converted->dump();
    } catch (const json::exception&) {
      converted.reset();
    }
  }
  if (!converted) {
    relayLog(LogLevel::error, label + ": not serializable");
    return;
  }
  if (auto reply = relay(label, data)) completion.reply = std::move(*reply);
}

std::optional<json> SafariWebExtensionHandler::relay(const std::string& label, const std::string& message) {
  const std::string home = hostchannel::homeFolder();
  auto address = portchannel::Address::make(portchannel::portsFolder(home),
                                            portchannel::fileName(portchannel::kBridgePortName));
  const int fd = address ? portchannel::connectTo(*address, kConnectTimeout) : -1;
  if (fd < 0 && address && portchannel::connectTimedOut()) {
    // The port is there but takes no connection (the application is stopped): a send time-out.
    relayLog(LogLevel::info, label + ": sent, status " + std::to_string(portchannel::kSendTimeout));
    return std::nullopt;
  }
  if (fd < 0) {
    relayLog(LogLevel::info, label + ": host port absent");
    return std::nullopt;
  }
  std::optional<std::string> reply;
  const auto status = portchannel::request(fd, 0, message, kSendTimeout, kReceiveTimeout, reply);
  ::close(fd);
  relayLog(LogLevel::info, label + ": sent, status " + std::to_string(status));
  if (status != portchannel::kSuccess || !reply) return std::nullopt;
  // A reply nested past the limit is refused like any unusable one: writing it out for Safari
  // would recurse once per level.
  bool tooDeep = false;
  json parsed = json::parse(
      *reply,
      [&tooDeep](int depth, json::parse_event_t, json&) {
        tooDeep = tooDeep || depth > kMaxNesting;
        return !tooDeep;
      },
      false);
  if (tooDeep || parsed.is_discarded() || !parsed.is_object()) return std::nullopt;
  return parsed;
}

}  // namespace velvix::safari
