#include "TestSupport/HeadlessChromium.hpp"

#include <csignal>
#include <cstring>
#include <stdexcept>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
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
  spawn(kProgram,
        {kProgram, "--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--no-default-browser-check", "--disable-background-networking", "--disable-component-update",
         "--disable-sync", "--password-store=basic", "--user-data-dir=" + userData.string(),
         "--load-extension=" + extension.string(), "--remote-debugging-address=127.0.0.1",
         "--remote-debugging-port=0", firstPage},
        environment);
}

HeadlessChromium::HeadlessChromium(const std::string& launcher, const std::filesystem::path& userData,
                                   const std::map<std::string, std::string>& environment)
    : userData_(userData), outputFile_(userData.parent_path() / "chromium-output.txt") {
  spawn(launcher,
        {launcher, "--headless=new", "--disable-gpu", "--disable-quic",
         "--remote-debugging-address=127.0.0.1", "--remote-debugging-port=0"},
        environment);
}

void HeadlessChromium::spawn(const std::string& program, const std::vector<std::string>& givenArguments,
                             const std::map<std::string, std::string>& environment) {
  std::vector<std::string> arguments = givenArguments;
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
  const int error = ::posix_spawn(&pid_, program.c_str(), &actions, &attributes, argv.data(), envp.data());
  ::posix_spawnattr_destroy(&attributes);
  ::posix_spawn_file_actions_destroy(&actions);
  if (error != 0) {
    pid_ = -1;
    throw std::runtime_error(std::string("cannot start chromium: ") + std::strerror(error));
  }
}

HeadlessChromium::~HeadlessChromium() {
  quit();
}

void HeadlessChromium::quit() {
  if (pid_ <= 0) return;
  ::kill(-pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
  pid_ = -1;
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

std::optional<std::string> HeadlessChromium::targetOf(const std::string& url) {
  const auto port = debuggingPort();
  const auto body = port ? httpGet(*port, "/json/list") : std::nullopt;
  const auto targets = nlohmann::json::parse(body.value_or(""), nullptr, false);
  if (!targets.is_array()) return std::nullopt;
  for (const auto& target : targets)
    if (target.value("type", "") == "page" && target.value("url", "") == url) return target.value("id", "");
  return std::nullopt;
}

// A WebSocket client just big enough for one command: the opening handshake, one masked text
// frame out, then the server's (unmasked) frames until the answer to it.
std::optional<nlohmann::json> HeadlessChromium::devtools(const std::string& method,
                                                         const nlohmann::json& params) {
  const auto port = debuggingPort();
  const auto version =
      nlohmann::json::parse(port ? httpGet(*port, "/json/version").value_or("") : "", nullptr, false);
  const std::string endpoint = version.is_object() ? version.value("webSocketDebuggerUrl", "") : "";
  const auto pathStart = endpoint.find("/devtools/");
  if (pathStart == std::string::npos) return std::nullopt;

  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return std::nullopt;
  timeval bound{5, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound);
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &bound, sizeof bound);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(*port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  auto sendAll = [fd](const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
      const ssize_t put = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
      if (put <= 0) return false;
      done += static_cast<std::size_t>(put);
    }
    return true;
  };
  std::string received;
  auto need = [&](std::size_t size) {
    char buffer[65536];
    while (received.size() < size) {
      const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
      if (got <= 0) return false;
      received.append(buffer, static_cast<std::size_t>(got));
    }
    return true;
  };
  std::optional<nlohmann::json> result;
  const std::string request = nlohmann::json{{"id", 1}, {"method", method}, {"params", params}}.dump();
  std::string frame{'\x81'};
  if (request.size() < 126) {
    frame += static_cast<char>(0x80 | request.size());
  } else {
    // Two bytes of length up to 64 KiB, else eight (a page address can be megabytes long).
    const int bytes = request.size() < 65536 ? 2 : 8;
    frame += static_cast<char>(0x80 | (bytes == 2 ? 126 : 127));
    for (int i = bytes - 1; i >= 0; --i) frame += static_cast<char>((request.size() >> (8 * i)) & 0xFF);
  }
  const char mask[4] = {0x12, 0x34, 0x56, 0x78};
  frame.append(mask, 4);
  for (std::size_t i = 0; i < request.size(); ++i) frame += static_cast<char>(request[i] ^ mask[i % 4]);
  const std::string handshake =
      "GET " + endpoint.substr(pathStart) + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(*port) +
      "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
      "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n";
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && sendAll(handshake)) {
    std::size_t headEnd = std::string::npos;
    while ((headEnd = received.find("\r\n\r\n")) == std::string::npos && need(received.size() + 1)) {
    }
    if (headEnd != std::string::npos && received.find(" 101 ") < headEnd && sendAll(frame)) {
      received.erase(0, headEnd + 4);
      for (int frames = 0; frames < 64 && need(2); ++frames) {
        std::size_t length = static_cast<unsigned char>(received[1]) & 0x7F;
        std::size_t header = 2;
        if (length == 126 && need(4)) {
          length = (static_cast<unsigned char>(received[2]) << 8) | static_cast<unsigned char>(received[3]);
          header = 4;
        } else if (length == 127 && need(10)) {
          length = 0;
          for (int i = 2; i < 10; ++i) length = (length << 8) | static_cast<unsigned char>(received[i]);
          header = 10;
        }
        if (!need(header + length)) break;
        const auto message = nlohmann::json::parse(received.substr(header, length), nullptr, false);
        received.erase(0, header + length);
        if (message.is_object() && message.value("id", 0) == 1) {
          if (message.contains("result")) result = message["result"];
          break;
        }
      }
    }
  }
  ::close(fd);
  return result;
}

std::string HeadlessChromium::output() const {
  return files::readAll(outputFile_).value_or("");
}

}  // namespace velvix::test
