#include "TestSupport/HeadlessChromium.hpp"

#include <csignal>
#include <cstring>
#include <stdexcept>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "Platform/Linux/Files.hpp"
#include "TestSupport/Eventually.hpp"
#include "TestSupport/LoopbackHttpServer.hpp"

extern char** environ;

namespace velvix::test {
namespace {

std::vector<std::string> environmentWith(const std::map<std::string, std::string>& extra) {
  std::map<std::string, std::string> variables;
  for (char** entry = environ; *entry; ++entry) {
    std::string text(*entry);
    if (auto equals = text.find('='); equals != std::string::npos)
      variables[text.substr(0, equals)] = text.substr(equals + 1);
  }
  for (const auto& [name, value] : extra) variables[name] = value;
  std::vector<std::string> result;
  for (const auto& [name, value] : variables) result.push_back(name + "=" + value);
  return result;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
  std::vector<char*> result;
  for (auto& text : texts) result.push_back(text.data());
  result.push_back(nullptr);
  return result;
}

}  // namespace

bool HeadlessChromium::isInstalled() {
  return ::access(kProgram, X_OK) == 0;
}

HeadlessChromium::HeadlessChromium(const std::filesystem::path& userData,
                                   const std::filesystem::path& extension, const std::string& firstPage,
                                   const std::map<std::string, std::string>& environment)
    : userData_(userData), outputFile_(userData.parent_path() / "chromium-output.txt") {
  std::filesystem::create_directories(userData);
  std::vector<std::string> arguments{kProgram,
                                     "--headless=new",
                                     "--no-sandbox",
                                     "--disable-gpu",
                                     "--disable-quic",
                                     "--no-first-run",
                                     "--no-default-browser-check",
                                     "--disable-background-networking",
                                     "--disable-component-update",
                                     "--disable-sync",
                                     "--password-store=basic",
                                     "--user-data-dir=" + userData.string(),
                                     "--load-extension=" + extension.string(),
                                     "--remote-debugging-address=127.0.0.1",
                                     "--remote-debugging-port=0",
                                     firstPage};
  auto envText = environmentWith(environment);
  auto argv = pointers(arguments);
  auto envp = pointers(envText);
  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputFile_.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ::posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  posix_spawnattr_t attributes;
  ::posix_spawnattr_init(&attributes);
  // A group of its own: the browser's helpers and the relays it starts end with it.
  ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  ::posix_spawnattr_setpgroup(&attributes, 0);
  const int error = ::posix_spawn(&pid_, kProgram, &actions, &attributes, argv.data(), envp.data());
  ::posix_spawnattr_destroy(&attributes);
  ::posix_spawn_file_actions_destroy(&actions);
  if (error != 0) {
    pid_ = -1;
    throw std::runtime_error(std::string("cannot start chromium: ") + std::strerror(error));
  }
}

HeadlessChromium::~HeadlessChromium() {
  if (pid_ <= 0) return;
  ::kill(-pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
}

std::optional<int> HeadlessChromium::debuggingPort(std::chrono::milliseconds bound) {
  if (port_ || pid_ <= 0) return port_;
  eventually(
      [&] {
        if (auto text = files::readAll(userData_ / "DevToolsActivePort");
            text && text->find('\n') != std::string::npos)
          port_ = std::atoi(text->c_str());
        return port_.has_value() || ::waitpid(pid_, nullptr, WNOHANG) == pid_;  // ended: nothing will come
      },
      bound);
  return port_;
}

bool HeadlessChromium::openTab(const std::string& url) {
  const auto port = debuggingPort();
  return port && httpGet(*port, "/json/new?" + url, "PUT").has_value();
}

std::optional<std::vector<std::string>> HeadlessChromium::pageURLs() {
  const auto port = debuggingPort();
  if (!port) return std::nullopt;
  const auto body = httpGet(*port, "/json/list");
  if (!body) return std::nullopt;
  const auto targets = nlohmann::json::parse(*body, nullptr, false);
  if (!targets.is_array()) return std::nullopt;
  std::vector<std::string> urls;
  for (const auto& target : targets)
    if (target.value("type", "") == "page") urls.push_back(target.value("url", ""));
  return urls;
}

std::string HeadlessChromium::output() const {
  return files::readAll(outputFile_).value_or("");
}

}  // namespace velvix::test
