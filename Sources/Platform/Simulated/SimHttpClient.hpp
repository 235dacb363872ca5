#pragma once
// HTTP in the simulated world: every address answers as a test (or the sample desktop) scripted
// it, in virtual time on the main loop. Bodies can arrive in pieces, trickle, stall or never end,
// and the client enforces the same transfer time-out, deadline and size limit as the real one, so
// callers can be tested against slow and hostile servers without a network.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Platform/HttpClient.hpp"

namespace velvix::platform {
class MainLoop;
}

namespace velvix::sim {

struct SimHttpReply {
  std::optional<int> status = 200;  // nothing: the server answers with something that is not HTTP
  std::string body;
  std::optional<std::string> failure;  // a transport error after `latency` instead of an answer
  double latency = 0.05;               // seconds before the response head
  std::size_t chunkBytes = 0;          // the body comes in pieces of this size (0: all at once)
  double chunkInterval = 0;            // seconds between pieces
  bool endless = false;                // the body never ends: `body` repeats for ever
};

class SimHttpClient final : public platform::HttpClient {
 public:
  explicit SimHttpClient(platform::MainLoop& loop);
  ~SimHttpClient() override;

  // Every later request for `url` gets this reply. Unscripted addresses cannot be reached.
  void serve(const std::string& url, SimHttpReply reply);
  bool serves(const std::string& url) const { return replies_.count(url) > 0; }

  std::unique_ptr<platform::HttpTask> get(const platform::HttpRequest& request,
                                          std::function<void(platform::HttpResponse)> completion) override;

  // What was asked, in order.
  const std::vector<std::string>& requests() const { return requests_; }
  std::size_t requestCount(const std::string& url) const;
  // Downloads started and neither finished nor cancelled.
  int activeCount() const;
  // The most body bytes any download ever held at once.
  std::uint64_t largestBodyHeld() const { return largestBodyHeld_; }

 private:
  struct Download;
  class Task;
  void noteBodySize(std::uint64_t bytes);

  platform::MainLoop& loop_;
  std::map<std::string, SimHttpReply> replies_;
  std::vector<std::string> requests_;
  std::vector<std::weak_ptr<Download>> downloads_;
  std::uint64_t largestBodyHeld_ = 0;
  std::shared_ptr<SimHttpClient*> self_;  // lets downloads outlive the client safely
};

}  // namespace velvix::sim
