#include "Platform/Simulated/SimHttpClient.hpp"

#include <algorithm>

#include "Platform/MainLoop.hpp"

namespace velvix::sim {

using platform::HttpOutcome;
using platform::HttpResponse;

struct SimHttpClient::Download : std::enable_shared_from_this<SimHttpClient::Download> {
  platform::MainLoop& loop;
  std::weak_ptr<SimHttpClient*> client;
  platform::HttpRequest request;
  SimHttpReply reply;
  std::function<void(HttpResponse)> completion;
  std::string body;
  std::size_t sent = 0;  // bytes of the scripted body handed out so far (grows past it when endless)
  bool finished = false;
  platform::Timer deadline, idle, next;

  Download(platform::MainLoop& l, std::weak_ptr<SimHttpClient*> c, platform::HttpRequest r, SimHttpReply rep,
           std::function<void(HttpResponse)> done)
      : loop(l),
        client(std::move(c)),
        request(std::move(r)),
        reply(std::move(rep)),
        completion(std::move(done)) {}

  template <typename Fn>
  platform::Timer at(double seconds, Fn step) {
    std::weak_ptr<Download> weak = shared_from_this();
    return loop.after(seconds, [weak, step] {
      if (auto self = weak.lock(); self && !self->finished) step(*self);
    });
  }

  void start() {
    deadline = at(request.deadline, [](Download& d) { d.finish(HttpOutcome::timedOut, "deadline passed"); });
    touch();
    next = at(reply.latency, [](Download& d) { d.head(); });
  }

  // Progress restarts the transfer time-out.
  void touch() {
    idle = at(request.transferTimeout, [](Download& d) { d.finish(HttpOutcome::timedOut, "no progress"); });
  }

  void head() {
    if (reply.failure) return finish(HttpOutcome::transportError, *reply.failure);
    touch();
    piece();
  }

  void piece() {
    const std::size_t size = reply.body.size();
    if (size == 0 && !reply.endless) return finish(HttpOutcome::completed, {});
    if (size == 0) return;  // an endless empty body is a stall: the transfer time-out ends it
    std::size_t want = reply.chunkBytes == 0 ? (reply.endless ? size : size - sent) : reply.chunkBytes;
    while (want > 0 && (reply.endless || sent < size)) {
      const std::size_t from = sent % size;
      const std::size_t take = std::min(want, reply.endless ? size - from : size - sent);
      body.append(reply.body, from, take);
      sent += take;
      want -= take;
    }
    if (auto owner = client.lock(); owner && *owner) (*owner)->noteBodySize(body.size());
    touch();
    // Reading stops the moment the body passes the limit: nothing more is taken in.
    if (body.size() > request.maxBodyBytes)
      return finish(HttpOutcome::tooLarge, "body passed the size limit");
    if (!reply.endless && sent >= size) return finish(HttpOutcome::completed, {});
    next = at(reply.chunkInterval, [](Download& d) { d.piece(); });
  }

  void finish(HttpOutcome outcome, std::string error) {
    finished = true;
    deadline.invalidate();
    idle.invalidate();
    next.invalidate();
    HttpResponse response;
    response.outcome = outcome;
    response.error = std::move(error);
    if (outcome == HttpOutcome::completed) {
      response.status = reply.status;
      response.body = std::move(body);
    }
    body.clear();
    auto done = std::move(completion);
    if (done) done(std::move(response));
  }

  void cancel() {
    finished = true;
    deadline.invalidate();
    idle.invalidate();
    next.invalidate();
    completion = nullptr;
    body.clear();
  }
};

class SimHttpClient::Task final : public platform::HttpTask {
 public:
  explicit Task(std::shared_ptr<Download> download) : download_(std::move(download)) {}
  ~Task() override { download_->cancel(); }

 private:
  std::shared_ptr<Download> download_;
};

SimHttpClient::SimHttpClient(platform::MainLoop& loop)
    : loop_(loop), self_(std::make_shared<SimHttpClient*>(this)) {}

SimHttpClient::~SimHttpClient() {
  *self_ = nullptr;
}

void SimHttpClient::serve(const std::string& url, SimHttpReply reply) {
  replies_[url] = std::move(reply);
}

std::unique_ptr<platform::HttpTask> SimHttpClient::get(const platform::HttpRequest& request,
                                                       std::function<void(HttpResponse)> completion) {
  requests_.push_back(request.url);
  SimHttpReply reply;
  if (auto it = replies_.find(request.url); it != replies_.end())
    reply = it->second;
  else
    reply.failure = "Could not connect to the server.";
  auto download = std::make_shared<Download>(loop_, self_, request, std::move(reply), std::move(completion));
  std::erase_if(downloads_, [](const auto& weak) {
    auto d = weak.lock();
    return !d || d->finished;
  });
  downloads_.push_back(download);
  download->start();
  return std::make_unique<Task>(std::move(download));
}

std::size_t SimHttpClient::requestCount(const std::string& url) const {
  return static_cast<std::size_t>(std::count(requests_.begin(), requests_.end(), url));
}

int SimHttpClient::activeCount() const {
  int count = 0;
  for (const auto& weak : downloads_)
    if (auto d = weak.lock(); d && !d->finished) ++count;
  return count;
}

void SimHttpClient::noteBodySize(std::uint64_t bytes) {
  largestBodyHeld_ = std::max(largestBodyHeld_, bytes);
}

}  // namespace velvix::sim
