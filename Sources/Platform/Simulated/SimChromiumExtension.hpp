#pragma once
// The application's extension running inside a simulated Chromium browser once the browser has
// loaded it: it talks over its end of a connected socket as the real extension does through its
// relay. It greets, reports the browser's windows and tabs whenever they change and when asked
// ("sync"), reports the tab that became active in the front window, and carries out "activate"
// and "close" on the browser's tabs. It stops when the browser quits or the other end closes.
// Main thread only.

#include <cstdint>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "Platform/MainLoop.hpp"
#include "Platform/Workspace.hpp"

namespace velvix::sim {

class SimDesktop;

class SimChromiumExtension {
 public:
  static constexpr double kPollInterval = 0.25;
  static constexpr std::size_t kMaxPendingBytes = 1024 * 1024;

  // `browserName`: the name its reports carry ("chrome"); `fd`: its end of the connection, owned
  // from now on.
  SimChromiumExtension(SimDesktop& desktop, platform::Pid browser, std::string browserName,
                       std::string session, int fd);
  ~SimChromiumExtension();
  SimChromiumExtension(const SimChromiumExtension&) = delete;
  SimChromiumExtension& operator=(const SimChromiumExtension&) = delete;

  bool isRunning() const { return fd_ >= 0; }
  platform::Pid browser() const { return browser_; }

 private:
  void tick();
  void readCommands();
  void handle(const std::string& line);
  void report(const std::string& event, nlohmann::json values);
  void flush();
  std::string windowsText() const;
  nlohmann::json tabOf(std::int64_t window, std::size_t index) const;
  // The window and index of the tab with that id, when the browser still shows it.
  bool find(std::int64_t tabID, std::int64_t& window, std::size_t& index) const;
  std::int64_t frontActiveTab() const;
  void stop();

  SimDesktop& desktop_;
  const platform::Pid browser_;
  const std::string browserName_;
  const std::string session_;
  int fd_;
  std::string pending_;  // read, not yet a whole line
  std::string outbox_;   // written, not yet taken by the application
  std::string lastWindows_;
  std::int64_t lastActiveTab_ = 0;
  platform::Timer timer_;
};

}  // namespace velvix::sim
