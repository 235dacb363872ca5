#pragma once
// A tiny HTTP server on the loopback interface for tests that drive a real browser: it serves
// pages by path from its own thread and records every path the browser asks for, so a page's
// script can tell the test what happened inside the browser. Also a one-shot GET client.

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace velvix::test {

class LoopbackHttpServer {
 public:
  LoopbackHttpServer();  // listens on 127.0.0.1 at a free port
  ~LoopbackHttpServer();
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  int port() const { return port_; }
  std::string url(const std::string& path) const;
  // The body served for `path`; other paths get an empty page.
  void serve(const std::string& path, const std::string& html);
  // Every path asked for so far, in order.
  std::vector<std::string> requests() const;

 private:
  void acceptLoop();
  void answer(int connection);

  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::map<std::string, std::string> pages_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

// The body of GET http://127.0.0.1:<port><path>, or nothing when it fails within `bound`.
std::optional<std::string> httpGet(int port, const std::string& path, const std::string& method = "GET",
                                   std::chrono::milliseconds bound = std::chrono::seconds(5));

}  // namespace velvix::test
