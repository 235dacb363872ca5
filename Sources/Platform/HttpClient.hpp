#pragma once
// Small HTTP downloads (site icons) without cookies, credentials or a disk cache. Every download
// is bounded: it gives up after a stretch without progress, at an overall deadline however slowly
// the body trickles, and as soon as the body passes its size limit, so an address that a web page
// controls can never make the program wait forever or hold an unbounded body in memory.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace velvix::platform {

struct HttpRequest {
  std::string url;
  double transferTimeout = 3.0;                  // seconds without any progress
  double deadline = 10.0;                        // seconds for the whole download
  std::uint64_t maxBodyBytes = 2 * 1024 * 1024;  // a longer body is abandoned once it passes this
};

enum class HttpOutcome {
  completed,       // a whole response arrived (any status)
  transportError,  // no usable response: refused, reset, TLS failure, malformed
  timedOut,        // no progress for transferTimeout, or the deadline passed
  tooLarge,        // the body passed maxBodyBytes; reading stopped there
};

struct HttpResponse {
  HttpOutcome outcome = HttpOutcome::transportError;
  std::optional<int> status;  // the HTTP status; nothing when the answer was no HTTP response
  std::string body;           // the whole body when completed
  std::string error;          // what went wrong, for a log line
};

// A download under way. Destroying it cancels the download, and its completion never runs.
class HttpTask {
 public:
  virtual ~HttpTask() = default;
};

class HttpClient {
 public:
  virtual ~HttpClient() = default;
  // Starts a GET. `completion` runs exactly once, on the main thread and never before get() has
  // returned, unless the task is destroyed first. The task may be destroyed from inside it.
  [[nodiscard]] virtual std::unique_ptr<HttpTask> get(const HttpRequest& request,
                                                      std::function<void(HttpResponse)> completion) = 0;
};

}  // namespace velvix::platform
