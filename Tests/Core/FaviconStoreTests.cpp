#include <charconv>

#include <gtest/gtest.h>

#include "Core/FaviconStore.hpp"
#include "Core/MRUManager.hpp"
#include "Core/SwitchableItem.hpp"
#include "Platform/ImageDecoder.hpp"
#include "Platform/Simulated/SimHttpClient.hpp"
#include "Platform/Simulated/SimMainLoop.hpp"

namespace velvix {
namespace {

using sim::SimHttpReply;

constexpr std::uint64_t kTwoMiB = 2 * 1024 * 1024;

// Decodes "icon:<w>x<h>" followed by anything into a blue picture of that size; everything else
// is no image. Enough to tell pictures apart without a real codec.
class FakeDecoder final : public platform::ImageDecoder {
 public:
  std::optional<RGBAImage> decode(std::string_view bytes, int maxPixelSize) const override {
    ++calls;
    if (!bytes.starts_with("icon:")) return std::nullopt;
    int w = 0, h = 0;
    auto [xEnd, e1] = std::from_chars(bytes.data() + 5, bytes.data() + bytes.size(), w);
    if (e1 != std::errc() || xEnd == bytes.data() + bytes.size() || *xEnd != 'x') return std::nullopt;
    auto [end, e2] = std::from_chars(xEnd + 1, bytes.data() + bytes.size(), h);
    if (e2 != std::errc()) return std::nullopt;
    return RGBAImage::filled(w, h, {0, 0, 255, 255}).scaledToFit(maxPixelSize, maxPixelSize);
  }
  mutable int calls = 0;
};

SwitchableItem tab(std::optional<std::string> url, std::optional<std::string> favicon = std::nullopt) {
  SwitchableItem item;
  item.id = "tab:chrome:1:1";
  item.kind = ItemKind::tab;
  item.url = std::move(url);
  item.favIconURL = std::move(favicon);
  return item;
}

std::string padded(std::string head, std::size_t size) {
  head.resize(size, ' ');
  return head;
}

class FaviconStoreTest : public ::testing::Test {
 protected:
  sim::SimMainLoop loop;
  sim::SimHttpClient http{loop};
  FakeDecoder decoder;
  FaviconStore store{http, decoder};

  // Asks for an icon and records what comes back (and whether anything did).
  struct Answer {
    bool arrived = false;
    std::optional<RGBAImage> image;
  };
  FaviconStore::Fetch ask(const SwitchableItem& item, Answer& answer) {
    return store.icon(item, [&answer](std::optional<RGBAImage> image) {
      answer.arrived = true;
      answer.image = std::move(image);
    });
  }
  Answer askAndWait(const SwitchableItem& item, double seconds = 15) {
    Answer answer;
    auto fetch = ask(item, answer);
    loop.advance(seconds);
    return answer;
  }
};

TEST(FaviconStoreKeys, HttpsFaviconAddressesAreUsedAsTheyStand) {
  EXPECT_EQ(FaviconStore::iconKey(tab("https://news.example/a", "https://cdn.example/f.png")),
            "https://cdn.example/f.png");
}

TEST(FaviconStoreKeys, EverythingElseFallsBackToTheRootIconOfThePageHostOverHttps) {
  // A plain-http favicon address is not used.
  EXPECT_EQ(FaviconStore::iconKey(tab("https://news.example/a?b", "http://cdn.example/f.png")),
            "https://news.example/favicon.ico");
  // A plain-http page gets its icon from the same host over https; port and user are dropped.
  EXPECT_EQ(FaviconStore::iconKey(tab("http://me@intranet.example:8080/wiki")),
            "https://intranet.example/favicon.ico");
  EXPECT_EQ(FaviconStore::iconKey(tab("https://[2001:db8::1]:443/")), "https://[2001:db8::1]/favicon.ico");
}

TEST(FaviconStoreKeys, PagesThatAreNotOnTheWebHaveNoKey) {
  EXPECT_EQ(FaviconStore::iconKey(tab("file:///Users/me/notes.html")), std::nullopt);
  EXPECT_EQ(FaviconStore::iconKey(tab("chrome://newtab/")), std::nullopt);
  EXPECT_EQ(FaviconStore::iconKey(tab(MRUManager::kAuxPlaceholderURL)), std::nullopt);
  EXPECT_EQ(FaviconStore::iconKey(tab("https:///nohost")), std::nullopt);
  EXPECT_EQ(FaviconStore::iconKey(tab("https://bad host.example/")), std::nullopt);
  EXPECT_EQ(FaviconStore::iconKey(tab(std::nullopt, "")), std::nullopt);
}

TEST_F(FaviconStoreTest, AnEntryWithoutAKeyAnswersNothingAtOnceAndAsksNoOne) {
  Answer answer;
  auto fetch = ask(tab("file:///tmp/x.html"), answer);
  EXPECT_TRUE(answer.arrived);
  EXPECT_FALSE(answer.image);
  EXPECT_TRUE(http.requests().empty());
  // An https favicon address that does not parse has a key but still no request.
  Answer broken;
  auto other = ask(tab(std::nullopt, "https://"), broken);
  EXPECT_TRUE(broken.arrived);
  EXPECT_TRUE(http.requests().empty());
}

TEST_F(FaviconStoreTest, ADownloadedIconIsCachedAndServedWithoutAnotherRequest) {
  http.serve("https://news.example/favicon.ico", {.body = "icon:32x32"});
  Answer answer;
  auto fetch = ask(tab("https://news.example/"), answer);
  EXPECT_FALSE(answer.arrived);
  EXPECT_TRUE(fetch.isPending());
  loop.advance(1);
  ASSERT_TRUE(answer.image);
  EXPECT_EQ(answer.image->pixelWidth(), 32);
  EXPECT_FALSE(fetch.isPending());

  ASSERT_TRUE(store.cachedIcon("https://news.example/favicon.ico"));
  Answer again;
  auto second = ask(tab("http://news.example/other"), again);
  EXPECT_TRUE(again.arrived);  // at once, from the cache
  ASSERT_TRUE(again.image);
  EXPECT_EQ(http.requestCount("https://news.example/favicon.ico"), 1u);
}

TEST_F(FaviconStoreTest, HugeIconsAreKeptSmall) {
  http.serve("https://big.example/favicon.ico", {.body = "icon:1024x512"});
  auto answer = askAndWait(tab("https://big.example/"));
  ASSERT_TRUE(answer.image);
  EXPECT_EQ(answer.image->pixelWidth(), FaviconStore::kMaxIconPixels);
  EXPECT_EQ(answer.image->pixelHeight(), FaviconStore::kMaxIconPixels / 2);
}

TEST_F(FaviconStoreTest, TheSecondOfTwoSimultaneousAsksGetsNothingAndTheFirstDownloads) {
  http.serve("https://news.example/favicon.ico", {.body = "icon:16x16", .latency = 0.5});
  Answer first, second;
  auto a = ask(tab("https://news.example/1"), first);
  auto b = ask(tab("https://news.example/2"), second);
  EXPECT_TRUE(second.arrived);
  EXPECT_FALSE(second.image);
  EXPECT_FALSE(b.isPending());
  loop.advance(1);
  EXPECT_TRUE(first.image);
  EXPECT_EQ(http.requests().size(), 1u);
  EXPECT_TRUE(askAndWait(tab("https://news.example/3")).image);
}

TEST_F(FaviconStoreTest, FailedAddressesAreRememberedAndNotAskedAgain) {
  http.serve("https://missing.example/favicon.ico", {.status = 404, .body = "icon:16x16"});
  http.serve("https://html.example/favicon.ico", {.body = "<!doctype html><title>Home</title>"});
  http.serve("https://odd.example/favicon.ico", {.status = std::nullopt, .body = "icon:16x16"});
  http.serve("https://down.example/favicon.ico", {.failure = "The network connection was lost."});
  for (const char* host : {"missing", "html", "odd", "down", "unreachable"}) {
    const auto page = std::string("https://") + host + ".example/";
    EXPECT_FALSE(askAndWait(tab(page)).image) << host;
    EXPECT_TRUE(store.hasFailed(page + "favicon.ico")) << host;
    Answer later;
    auto fetch = ask(tab(page), later);
    EXPECT_TRUE(later.arrived);
    EXPECT_FALSE(later.image);
    EXPECT_EQ(http.requestCount(page + "favicon.ico"), 1u) << host;
  }
}

TEST_F(FaviconStoreTest, ABodyOfExactlyTwoMebibytesIsAcceptedOneByteMoreFails) {
  http.serve("https://exact.example/favicon.ico", {.body = padded("icon:16x16", kTwoMiB)});
  http.serve("https://over.example/favicon.ico", {.body = padded("icon:16x16", kTwoMiB + 1)});
  EXPECT_TRUE(askAndWait(tab("https://exact.example/")).image);
  EXPECT_FALSE(askAndWait(tab("https://over.example/")).image);
  EXPECT_TRUE(store.hasFailed("https://over.example/favicon.ico"));
}

TEST_F(FaviconStoreTest, AnEndlessBodyIsCutOffAtTheLimitAndCountsAsAFailure) {
  // A page-controlled address that streams for ever in 64 KiB pieces, ten a second.
  http.serve(
      "https://flood.example/x.png",
      {.body = std::string(64 * 1024, 'x'), .chunkBytes = 64 * 1024, .chunkInterval = 0.1, .endless = true});
  Answer answer;
  auto fetch = ask(tab("https://flood.example/", "https://flood.example/x.png"), answer);
  loop.advance(4);  // 33 pieces pass the limit at 3.25 s, well before the deadline
  EXPECT_TRUE(answer.arrived);
  EXPECT_FALSE(answer.image);
  EXPECT_TRUE(store.hasFailed("https://flood.example/x.png"));
  EXPECT_LE(http.largestBodyHeld(), kTwoMiB + 64 * 1024);
  EXPECT_EQ(http.activeCount(), 0);
  EXPECT_EQ(decoder.calls, 0);
}

TEST_F(FaviconStoreTest, ATricklingDownloadEndsAtTheDeadlineAsAFailure) {
  // One byte a second never trips the three-second transfer time-out.
  http.serve("https://slow.example/favicon.ico",
             {.body = padded("icon:16x16", 100), .chunkBytes = 1, .chunkInterval = 1.0});
  Answer answer;
  auto fetch = ask(tab("https://slow.example/"), answer);
  loop.advance(FaviconStore::kDeadline - 0.1);
  EXPECT_FALSE(answer.arrived);
  loop.advance(0.2);
  EXPECT_TRUE(answer.arrived);
  EXPECT_FALSE(answer.image);
  EXPECT_TRUE(store.hasFailed("https://slow.example/favicon.ico"));
  EXPECT_EQ(http.activeCount(), 0);
}

TEST_F(FaviconStoreTest, AStalledDownloadEndsAfterThreeSecondsWithoutProgress) {
  http.serve("https://stuck.example/favicon.ico",
             {.body = padded("icon:16x16", 100), .chunkBytes = 10, .chunkInterval = 3600});
  Answer answer;
  auto fetch = ask(tab("https://stuck.example/"), answer);
  loop.advance(0.05 + 2.9);
  EXPECT_FALSE(answer.arrived);
  loop.advance(0.2);
  EXPECT_TRUE(answer.arrived);
  EXPECT_TRUE(store.hasFailed("https://stuck.example/favicon.ico"));
}

TEST_F(FaviconStoreTest, ACancelledDownloadIsNoFailureAndFreesItsAddress) {
  http.serve("https://news.example/favicon.ico", {.body = "icon:16x16", .latency = 1.0});
  Answer answer;
  {
    auto fetch = ask(tab("https://news.example/"), answer);
    loop.advance(0.5);
    EXPECT_TRUE(store.isDownloading("https://news.example/favicon.ico"));
  }  // the cell went away
  EXPECT_FALSE(store.isDownloading("https://news.example/favicon.ico"));
  EXPECT_EQ(http.activeCount(), 0);
  loop.advance(2);
  EXPECT_FALSE(answer.arrived);
  EXPECT_FALSE(store.hasFailed("https://news.example/favicon.ico"));

  EXPECT_TRUE(askAndWait(tab("https://news.example/")).image);
  EXPECT_EQ(http.requestCount("https://news.example/favicon.ico"), 2u);
}

TEST_F(FaviconStoreTest, TheFailureMemoryStartsAgainAfterThe514thDistinctFailure) {
  auto page = [](int i) { return "https://host" + std::to_string(i) + ".example/"; };
  for (int i = 1; i <= 513; ++i) askAndWait(tab(page(i)), 0.1);
  EXPECT_EQ(store.failedCount(), 513u);
  askAndWait(tab(page(514)), 0.1);
  EXPECT_EQ(store.failedCount(), 1u);
  EXPECT_TRUE(store.hasFailed(page(514) + "favicon.ico"));
  // Every earlier host may be tried again.
  askAndWait(tab(page(1)), 0.1);
  EXPECT_EQ(http.requestCount(page(1) + "favicon.ico"), 2u);
}

TEST_F(FaviconStoreTest, TheCacheKeepsTwoHundredIconsDroppingTheLeastRecentlyUsed) {
  auto page = [](int i) { return "https://site" + std::to_string(i) + ".example/"; };
  for (int i = 0; i < 200; ++i) http.serve(page(i) + "favicon.ico", {.body = "icon:16x16"});
  http.serve(page(200) + "favicon.ico", {.body = "icon:16x16"});
  for (int i = 0; i < 200; ++i) askAndWait(tab(page(i)), 0.1);
  EXPECT_EQ(store.cachedCount(), 200u);
  EXPECT_TRUE(store.cachedIcon(page(0) + "favicon.ico"));  // used again: now the most recent
  askAndWait(tab(page(200)), 0.1);
  EXPECT_EQ(store.cachedCount(), 200u);
  EXPECT_TRUE(store.cachedIcon(page(0) + "favicon.ico"));
  EXPECT_FALSE(store.cachedIcon(page(1) + "favicon.ico"));
  // An evicted icon is simply fetched again.
  EXPECT_TRUE(askAndWait(tab(page(1)), 0.1).image);
  EXPECT_EQ(http.requestCount(page(1) + "favicon.ico"), 2u);
}

TEST(FaviconStoreLifetime, AStoreGoneBeforeItsDownloadsNeitherCrashesNorAnswers) {
  sim::SimMainLoop loop;
  sim::SimHttpClient http{loop};
  FakeDecoder decoder;
  http.serve("https://news.example/favicon.ico", {.body = "icon:16x16"});
  bool answered = false;
  FaviconStore::Fetch fetch;
  {
    FaviconStore store{http, decoder};
    fetch = store.icon(tab("https://news.example/"), [&](auto) { answered = true; });
  }
  loop.advance(1);
  fetch.cancel();
  EXPECT_FALSE(answered);
  EXPECT_EQ(http.activeCount(), 0);
}

}  // namespace
}  // namespace velvix
