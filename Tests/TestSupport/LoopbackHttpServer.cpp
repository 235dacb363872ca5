#include "TestSupport/LoopbackHttpServer.hpp"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace velvix::test {
namespace {

constexpr int kPollMilliseconds = 100;

sockaddr_in loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

// Reads until the end of the request head (a GET has no body) or the bound.
std::string readHead(int connection, std::chrono::steady_clock::time_point deadline) {
  std::string head;
  char buffer[4096];
  while (head.find("\r\n\r\n") == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    pollfd ready{connection, POLLIN, 0};
    if (::poll(&ready, 1, kPollMilliseconds) <= 0) continue;
    const ssize_t got = ::recv(connection, buffer, sizeof buffer, 0);
    if (got <= 0) break;
    head.append(buffer, static_cast<std::size_t>(got));
  }
  return head;
}

void sendAll(int connection, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t put = ::send(connection, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (put <= 0) return;
    done += static_cast<std::size_t>(put);
  }
}

// The announced body length once the whole head is in ("Content-Length:" in any case, with or
// without a space after the colon).
std::optional<std::size_t> contentLength(const std::string& response) {
  const auto headEnd = response.find("\r\n\r\n");
  if (headEnd == std::string::npos) return std::nullopt;
  std::string head = response.substr(0, headEnd);
  for (char& c : head) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const auto at = head.find("\r\ncontent-length:");
  if (at == std::string::npos) return std::nullopt;
  return std::strtoul(head.c_str() + at + 17, nullptr, 10);
}

}  // namespace

LoopbackHttpServer::LoopbackHttpServer() {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = loopback(0);
  if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_, 16) != 0)
    throw std::runtime_error(std::string("loopback server: ") + std::strerror(errno));
  socklen_t length = sizeof address;
  ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { acceptLoop(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
  stopping_ = true;
  thread_.join();
  ::close(listener_);
}

std::string LoopbackHttpServer::url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void LoopbackHttpServer::serve(const std::string& path, const std::string& html) {
  std::lock_guard lock(mutex_);
  pages_[path] = html;
}

std::vector<std::string> LoopbackHttpServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void LoopbackHttpServer::acceptLoop() {
  while (!stopping_) {
    pollfd ready{listener_, POLLIN, 0};
    if (::poll(&ready, 1, kPollMilliseconds) <= 0) continue;
    const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) continue;
    answer(connection);
    ::close(connection);
  }
}

void LoopbackHttpServer::answer(int connection) {
  const std::string head = readHead(connection, std::chrono::steady_clock::now() + std::chrono::seconds(2));
  const auto start = head.find(' ');
  const auto end = start == std::string::npos ? std::string::npos : head.find(' ', start + 1);
  if (end == std::string::npos) return;
  const std::string path = head.substr(start + 1, end - start - 1);
  std::string body;
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(path);
    if (auto it = pages_.find(path); it != pages_.end()) body = it->second;
  }
  sendAll(connection,
          "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nCache-Control: no-store\r\n"
          "Connection: close\r\nContent-Length: " +
              std::to_string(body.size()) + "\r\n\r\n" + body);
}

std::optional<std::string> httpGet(int port, const std::string& path, const std::string& method,
                                   std::chrono::milliseconds bound) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  const int connection = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (connection < 0) return std::nullopt;
  sockaddr_in address = loopback(port);
  std::optional<std::string> result;
  if (::connect(connection, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
    sendAll(connection, method + " " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                            "\r\nConnection: close\r\n\r\n");
    std::string response;
    char buffer[8192];
    while (std::chrono::steady_clock::now() < deadline) {
      pollfd ready{connection, POLLIN, 0};
      if (::poll(&ready, 1, kPollMilliseconds) <= 0) continue;
      const ssize_t got = ::recv(connection, buffer, sizeof buffer, 0);
      if (got <= 0) break;
      response.append(buffer, static_cast<std::size_t>(got));
      // A server that keeps the connection open has answered once the announced length is in.
      if (const auto length = contentLength(response);
          length && response.size() - response.find("\r\n\r\n") - 4 >= *length)
        break;
    }
    if (const auto body = response.find("\r\n\r\n");
        body != std::string::npos && response.starts_with("HTTP/1.1 200"))
      result = response.substr(body + 4);
  }
  ::close(connection);
  return result;
}

}  // namespace velvix::test
