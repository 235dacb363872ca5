#pragma once
// The small site icons on the HUD cells of browser tabs. An icon comes from the favicon address
// the browser reported when that is https, else from "/favicon.ico" on the page's host, always
// over https. It keeps up to 200 icons in memory, never downloads one address twice at the same
// time, and remembers addresses that failed so that hosts without an icon are not asked again on
// every redraw. Failures are silent: the cell simply shows no site icon. Main thread only.

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "Platform/RGBAImage.hpp"

namespace velvix {
namespace platform {
class HttpClient;
class HttpTask;
class ImageDecoder;
struct HttpResponse;
}  // namespace platform

struct SwitchableItem;

class FaviconStore {
 public:
  static constexpr std::size_t kCacheLimit = 200;
  // The failure memory starts afresh when a failure arrives while it holds more than this.
  static constexpr std::size_t kFailureMemoryLimit = 512;
  static constexpr double kTransferTimeout = 3.0;
  // However slowly a server trickles, a download ends here.
  static constexpr double kDeadline = 10.0;
  static constexpr std::uint64_t kMaxBodyBytes = 2 * 1024 * 1024;
  // Icons are decoded no larger than this; a badge needs far less.
  static constexpr int kMaxIconPixels = 256;

  using Completion = std::function<void(std::optional<RGBAImage>)>;

  // A request for an icon. Cancelling it (or dropping it) before the answer stops the download,
  // frees its address for the next request and is not remembered as a failure; the completion
  // then never runs.
  class Fetch {
   public:
    Fetch() = default;
    Fetch(Fetch&& other) noexcept;
    Fetch& operator=(Fetch&& other) noexcept;
    Fetch(const Fetch&) = delete;
    Fetch& operator=(const Fetch&) = delete;
    ~Fetch() { cancel(); }

    void cancel();
    bool isPending() const;

   private:
    friend class FaviconStore;
    Fetch(FaviconStore* store, std::weak_ptr<void> alive, std::string key, std::uint64_t id)
        : store_(store), alive_(std::move(alive)), key_(std::move(key)), id_(id) {}

    FaviconStore* store_ = nullptr;
    std::weak_ptr<void> alive_;
    std::string key_;
    std::uint64_t id_ = 0;
  };

  FaviconStore(platform::HttpClient& http, const platform::ImageDecoder& decoder);
  ~FaviconStore();
  FaviconStore(const FaviconStore&) = delete;
  FaviconStore& operator=(const FaviconStore&) = delete;

  // The https address an entry's icon is fetched from, which is also its cache key; nothing when
  // the entry has neither an https favicon address nor an http(s) page with a host.
  static std::optional<std::string> iconKey(const SwitchableItem& item);

  // The icon cached under a key, if any (a cell shows it before it asks for a download).
  std::optional<RGBAImage> cachedIcon(const std::string& key);

  // The entry's icon: from the cache, or downloaded. `done` gets nothing when the entry has no
  // usable address, the address failed before, it is being downloaded for someone else already,
  // or the download fails. It runs once, on the main thread: before icon() returns when no
  // download is needed, otherwise when the download ends, unless the Fetch is cancelled first.
  [[nodiscard]] Fetch icon(const SwitchableItem& item, Completion done);

  bool hasFailed(const std::string& key) const { return failed_.contains(key); }
  bool isDownloading(const std::string& key) const { return inflight_.contains(key); }
  std::size_t cachedCount() const { return cache_.size(); }
  std::size_t failedCount() const { return failed_.size(); }

 private:
  struct Download {
    std::uint64_t id = 0;
    std::unique_ptr<platform::HttpTask> task;
    Completion done;
  };

  void finished(const std::string& key, std::uint64_t id, platform::HttpResponse response);
  void cancel(const std::string& key, std::uint64_t id);
  void remember(const std::string& key, RGBAImage image);
  void rememberFailure(const std::string& key);

  platform::HttpClient& http_;
  const platform::ImageDecoder& decoder_;
  // Most recently used first; the map points into the list.
  std::list<std::pair<std::string, RGBAImage>> cache_;
  std::unordered_map<std::string, std::list<std::pair<std::string, RGBAImage>>::iterator> cacheIndex_;
  std::unordered_set<std::string> failed_;
  std::unordered_map<std::string, Download> inflight_;
  std::uint64_t nextID_ = 1;
  std::shared_ptr<void> alive_ = std::make_shared<int>(0);
};

}  // namespace velvix
