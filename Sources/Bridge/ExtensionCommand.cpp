#include "Bridge/ExtensionCommand.hpp"

namespace velvix::ExtensionCommand {

std::string activate(std::int64_t tabID, std::int64_t windowID) {
  return "{\"cmd\":\"activate\",\"tabId\":" + std::to_string(tabID) +
         ",\"windowId\":" + std::to_string(windowID) + "}";
}

std::string close(std::int64_t tabID) {
  return "{\"cmd\":\"close\",\"tabId\":" + std::to_string(tabID) + "}";
}

std::string move(std::int64_t tabID, std::int64_t targetTabID) {
  return "{\"cmd\":\"move\",\"tabId\":" + std::to_string(tabID) +
         ",\"targetTabId\":" + std::to_string(targetTabID) + "}";
}

std::string sync() {
  return "{\"cmd\":\"sync\"}";
}

}  // namespace velvix::ExtensionCommand
