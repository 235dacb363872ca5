#include "Core/FaviconStore.hpp"

#include <algorithm>
#include <utility>

#include "Core/SwitchableItem.hpp"
#include "Platform/HttpClient.hpp"
#include "Platform/ImageDecoder.hpp"

namespace velvix {

namespace {

constexpr std::string_view kHttpsPrefix = "https://";

struct WebAddress {
  std::string scheme;
  std::string host;
};

// The scheme and host of an absolute address with an authority ("scheme://[user@]host[:port]/...").
// Addresses with blanks or control characters do not parse, as no web address carries them raw.
std::optional<WebAddress> parseAddress(std::string_view text) {
  if (std::any_of(text.begin(), text.end(), [](unsigned char c) { return c <= 0x20 || c == 0x7f; }))
    return std::nullopt;
  const auto colon = text.find(':');
  if (colon == std::string_view::npos || colon == 0) return std::nullopt;
  const std::string_view scheme = text.substr(0, colon);
  auto isAlpha = [](unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  if (!isAlpha(scheme[0])) return std::nullopt;
  for (unsigned char c : scheme)
    if (!isAlpha(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.') return std::nullopt;
  std::string_view rest = text.substr(colon + 1);
  if (!rest.starts_with("//")) return std::nullopt;
  rest.remove_prefix(2);
  std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
  if (const auto at = authority.rfind('@'); at != std::string_view::npos) authority.remove_prefix(at + 1);
  std::string_view host;
  if (authority.starts_with('[')) {
    const auto close = authority.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    host = authority.substr(0, close + 1);
  } else {
    host = authority.substr(0, authority.find(':'));
  }
  if (host.empty() || host == "[]") return std::nullopt;
  return WebAddress{std::string(scheme), std::string(host)};
}

}  // namespace

// ---- Fetch

FaviconStore::Fetch::Fetch(Fetch&& other) noexcept
    : store_(std::exchange(other.store_, nullptr)),
      alive_(std::move(other.alive_)),
      key_(std::move(other.key_)),
      id_(std::exchange(other.id_, 0)) {}

FaviconStore::Fetch& FaviconStore::Fetch::operator=(Fetch&& other) noexcept {
  if (this != &other) {
    cancel();
    store_ = std::exchange(other.store_, nullptr);
    alive_ = std::move(other.alive_);
    key_ = std::move(other.key_);
    id_ = std::exchange(other.id_, 0);
  }
  return *this;
}

void FaviconStore::Fetch::cancel() {
  if (store_ && !alive_.expired()) store_->cancel(key_, id_);
  store_ = nullptr;
}

bool FaviconStore::Fetch::isPending() const {
  if (!store_ || alive_.expired()) return false;
  auto it = store_->inflight_.find(key_);
  return it != store_->inflight_.end() && it->second.id == id_;
}

// ---- FaviconStore

FaviconStore::FaviconStore(platform::HttpClient& http, const platform::ImageDecoder& decoder)
    : http_(http), decoder_(decoder) {}

FaviconStore::~FaviconStore() = default;

std::optional<std::string> FaviconStore::iconKey(const SwitchableItem& item) {
  if (item.favIconURL && item.favIconURL->starts_with(kHttpsPrefix)) return *item.favIconURL;
  if (!item.url) return std::nullopt;
  auto page = parseAddress(*item.url);
  if (!page || !page->scheme.starts_with("http")) return std::nullopt;
  return std::string(kHttpsPrefix) + page->host + "/favicon.ico";
}

std::optional<RGBAImage> FaviconStore::cachedIcon(const std::string& key) {
  auto it = cacheIndex_.find(key);
  if (it == cacheIndex_.end()) return std::nullopt;
  cache_.splice(cache_.begin(), cache_, it->second);
  return it->second->second;
}

FaviconStore::Fetch FaviconStore::icon(const SwitchableItem& item, Completion done) {
  const auto key = iconKey(item);
  const auto address = key ? parseAddress(*key) : std::nullopt;
  if (!address || address->scheme != "https") {
    done(std::nullopt);
    return {};
  }
  if (auto cached = cachedIcon(*key)) {
    done(std::move(cached));
    return {};
  }
  if (failed_.contains(*key) || inflight_.contains(*key)) {
    done(std::nullopt);
    return {};
  }

  const std::uint64_t id = nextID_++;
  auto& download = inflight_[*key];
  download.id = id;
  download.done = std::move(done);
  platform::HttpRequest request;
  request.url = *key;
  request.transferTimeout = kTransferTimeout;
  request.deadline = kDeadline;
  request.maxBodyBytes = kMaxBodyBytes;
  std::weak_ptr<void> alive = alive_;
  download.task = http_.get(request, [this, alive, key = *key, id](platform::HttpResponse response) {
    if (!alive.expired()) finished(key, id, std::move(response));
  });
  return Fetch(this, alive_, *key, id);
}

void FaviconStore::finished(const std::string& key, std::uint64_t id, platform::HttpResponse response) {
  auto it = inflight_.find(key);
  if (it == inflight_.end() || it->second.id != id) return;
  // The task stays alive until this answer is handled; it is released with the entry.
  Download download = std::move(it->second);
  inflight_.erase(it);

  std::optional<RGBAImage> image;
  const bool answered = response.outcome == platform::HttpOutcome::completed && response.status == 200 &&
                        response.body.size() <= kMaxBodyBytes;
  if (answered) image = decoder_.decode(response.body, kMaxIconPixels);
  if (image)
    remember(key, *image);
  else
    rememberFailure(key);
  if (download.done) download.done(std::move(image));
}

void FaviconStore::cancel(const std::string& key, std::uint64_t id) {
  auto it = inflight_.find(key);
  if (it != inflight_.end() && it->second.id == id) inflight_.erase(it);
}

void FaviconStore::remember(const std::string& key, RGBAImage image) {
  if (auto it = cacheIndex_.find(key); it != cacheIndex_.end()) {
    it->second->second = std::move(image);
    cache_.splice(cache_.begin(), cache_, it->second);
    return;
  }
  cache_.emplace_front(key, std::move(image));
  cacheIndex_[key] = cache_.begin();
  while (cache_.size() > kCacheLimit) {
    cacheIndex_.erase(cache_.back().first);
    cache_.pop_back();
  }
}

void FaviconStore::rememberFailure(const std::string& key) {
  if (failed_.size() > kFailureMemoryLimit) failed_.clear();
  failed_.insert(key);
}

}  // namespace velvix
