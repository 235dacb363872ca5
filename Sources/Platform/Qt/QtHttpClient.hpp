#pragma once
// HTTP for the real program over Qt Network: one network access manager on the main thread, no
// cookies, no disk cache, redirects only to equally safe addresses. It enforces the transfer
// time-out, the overall deadline and the body size limit of every request itself.

#include <memory>

#include "Platform/HttpClient.hpp"

namespace velvix::platform {
class MainLoop;
}

namespace velvix::qt {

class QtHttpClient final : public platform::HttpClient {
 public:
  // `loop` times the deadlines; a QCoreApplication must exist.
  explicit QtHttpClient(platform::MainLoop& loop);
  ~QtHttpClient() override;

  std::unique_ptr<platform::HttpTask> get(const platform::HttpRequest& request,
                                          std::function<void(platform::HttpResponse)> completion) override;

 private:
  class Download;
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace velvix::qt
