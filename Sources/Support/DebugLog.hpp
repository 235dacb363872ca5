#pragma once
// The two plain-text logs in the support folder: "debug.log", written only while the user has
// diagnostic logging on, and "health.log", which always gets the few lines that explain the
// switcher's health. Callable from any thread: the caller only stamps the line; one serial
// background queue does the file work, so logging never blocks the event tap's thread.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/Linux/SerialQueue.hpp"

namespace velvix {
namespace platform {
class MainLoop;
class UserDefaults;
}  // namespace platform

class DebugLog {
 public:
  static constexpr std::uint64_t kDebugMaxBytes = 0x500000;  // 5 MiB
  static constexpr std::uint64_t kHealthMaxBytes = 0x80000;  // 512 KiB
  static constexpr int kSizeCheckInterval = 200;             // appends between size tests
  // How long a flush waits for a write that makes no progress.
  static constexpr double kDrainDeadline = 1.0;

  // `defaults` is read for "debugLogging" at every call; `clock` stamps the lines.
  DebugLog(const std::filesystem::path& supportFolder, const platform::UserDefaults& defaults,
           const platform::MainLoop& clock);
  ~DebugLog();

  // A diagnostic line; dropped at once while diagnostic logging is off.
  void log(std::string_view message);
  // A health line: always to "health.log", and also to "debug.log" while diagnostic logging is on.
  void health(std::string_view message);
  // Waits until every line queued so far is written (tests, and before the process exits); false
  // when a write stood still for the drain deadline and the wait gave up.
  bool flush();

  std::filesystem::path debugPath() const;
  std::filesystem::path healthPath() const;

  // "2026-01-31T17:04:05Z" for a time in seconds since the Unix epoch.
  static std::string timestamp(double secondsSinceEpoch);

 private:
  struct LogFile;
  void write(std::string_view message, std::vector<LogFile*> files);
  bool diagnosticsOn() const;

  const platform::UserDefaults& defaults_;
  const platform::MainLoop& clock_;
  std::unique_ptr<LogFile> debugFile_;
  std::unique_ptr<LogFile> healthFile_;
  // Last: drains before the files go.
  std::unique_ptr<platform::SerialQueue> queue_ =
      std::make_unique<platform::SerialQueue>("com.kolvi.velvix.debuglog");
};

}  // namespace velvix
