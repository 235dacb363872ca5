#pragma once
// A real Chromium for end-to-end tests: Debian's chromium in its new headless mode (the old one
// loads no extensions), in a process group of its own with its user-data folder where the test
// says, its remote-debugging interface on a free loopback port, and no network beyond loopback.
// Every wait is bounded; the whole group is killed when the object goes, whatever happened.

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>
#include <nlohmann/json.hpp>

namespace velvix::test {

class HeadlessChromium {
 public:
  static constexpr const char* kProgram = "/usr/bin/chromium";
  static bool isInstalled();

  // Starts it on `firstPage` with the unpacked extension at `extension` loaded; `environment`
  // adds to the test's own (the home folder its native-messaging hosts see).
  HeadlessChromium(const std::filesystem::path& userData, const std::filesystem::path& extension,
                   const std::string& firstPage, const std::map<std::string, std::string>& environment);
  // Starts it through `launcher` (a script that execs chromium for `userData`), headless, with
  // the remote-debugging interface on; the launcher chooses everything else.
  HeadlessChromium(const std::string& launcher, const std::filesystem::path& userData,
                   const std::map<std::string, std::string>& environment);
  ~HeadlessChromium();
  HeadlessChromium(const HeadlessChromium&) = delete;
  HeadlessChromium& operator=(const HeadlessChromium&) = delete;

  pid_t pid() const { return pid_; }
  // The remote-debugging port, once the browser has written it (bounded wait).
  std::optional<int> debuggingPort(std::chrono::milliseconds bound = std::chrono::seconds(20));
  // Opens a page in a new tab through the remote-debugging interface.
  bool openTab(const std::string& url);
  // The addresses of the browser's page tabs, as its remote-debugging interface lists them.
  std::optional<std::vector<std::string>> pageURLs();
  // The remote-debugging interface's id of the page tab showing `url`.
  std::optional<std::string> targetOf(const std::string& url);
  // One command of the browser-wide remote-debugging protocol (over its WebSocket) and its
  // "result", within a few seconds.
  std::optional<nlohmann::json> devtools(const std::string& method, const nlohmann::json& params);
  // Kills the browser and everything it started, and reaps it: the process is gone on return.
  void quit();
  // What the browser wrote on standard error, for a failing test's message.
  std::string output() const;

 private:
  void spawn(const std::string& program, const std::vector<std::string>& arguments,
             const std::map<std::string, std::string>& environment);

  std::filesystem::path userData_;
  std::filesystem::path outputFile_;
  pid_t pid_ = -1;
  std::optional<int> port_;
};

}  // namespace velvix::test
