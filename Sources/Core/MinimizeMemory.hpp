#pragma once
// Remembers, per application, the window a Dock click minimized and the titled windows that were
// already off screen behind it at that moment ("tabmates"), so that later Dock clicks and the
// hover previews can tell a window the user minimized from the Dock from windows that merely sit
// off screen. Kept in the user defaults under "dockMinimizeMemory" and tied to the process id of
// the application run it describes, so it never outlives that run. Main thread only.
//
// The stored value is a dictionary from bundle identifier to {"pid", "windows", "tabmates"}. An
// entry of the wrong shape is dropped on its own, with a log line; every other application's
// record stays.

#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "Platform/Workspace.hpp"

namespace velvix {

class DebugLog;
namespace platform {
class UserDefaults;
}

class MinimizeMemory {
 public:
  static constexpr const char* kKey = "dockMinimizeMemory";

  // The record lives in `defaults`; what it drops is told to `log`.
  MinimizeMemory(platform::UserDefaults& defaults, DebugLog& log) : defaults_(defaults), log_(log) {}

  // Replaces the application's record whole.
  void record(const std::string& bundleID, platform::Pid pid, const std::set<std::int64_t>& windows,
              const std::set<std::int64_t>& tabmates);
  // The remembered window numbers of this run of the application; empty without a valid record.
  // A record of another run (another process id) is deleted by the read.
  std::set<std::int64_t> windows(const std::string& bundleID, platform::Pid pid);
  std::set<std::int64_t> tabmates(const std::string& bundleID, platform::Pid pid);
  // Drops the application's record; the key goes away with the last one.
  void forget(const std::string& bundleID);

 private:
  using Json = nlohmann::json;
  // The stored dictionary with its well-formed entries; a malformed entry is dropped here.
  Json stored();
  void write(const Json& dictionary);
  std::optional<Json> validRecord(const std::string& bundleID, platform::Pid pid);
  std::set<std::int64_t> numbers(const std::string& bundleID, platform::Pid pid, const char* field);
  void note(const std::string& line);

  platform::UserDefaults& defaults_;
  DebugLog& log_;
};

}  // namespace velvix
