#include <gtest/gtest.h>

#include "Core/FaviconStore.hpp"
#include "Core/Services.hpp"
#include "Core/SwitchableItem.hpp"
#include "Platform/Simulated/SampleDesktop.hpp"
#include "Platform/Simulated/SimMainLoop.hpp"
#include "Platform/Simulated/SimWeb.hpp"
#include "TestSupport/AppWorld.hpp"
#include "TestSupport/QtTestApplication.hpp"

namespace velvix {
namespace {

std::optional<std::string> fetch(platform::HttpClient& http, sim::SimMainLoop& loop, const std::string& url) {
  std::optional<std::string> body;
  auto task = http.get({.url = url}, [&](platform::HttpResponse response) {
    if (response.outcome == platform::HttpOutcome::completed) body = response.body;
  });
  loop.advance(1);
  return body;
}

// The sample's made-up hosts answer from the simulation; any other address is the real web's.
TEST(SimWeb, TheSampleHostsIconsAreSimulatedAndOtherAddressesGoToTheRealClient) {
  sim::SimMainLoop loop;
  sim::SimDesktop desktop(loop);
  ASSERT_EQ(sim::SampleDesktop::load(desktop, sim::SampleDesktop::builtIn()), std::nullopt);
  auto real = std::make_unique<sim::SimHttpClient>(loop);
  sim::SimHttpClient& network = *real;
  sim::SimWeb web(loop, std::move(real));
  web.serveSiteIcons(desktop, [](const std::string& host) { return "icon of " + host; });

  EXPECT_EQ(fetch(web, loop, "https://board.example.org/favicon.ico"), "icon of board.example.org");
  EXPECT_EQ(fetch(web, loop, "https://example.org/favicon.ico"), "icon of example.org");
  EXPECT_TRUE(network.requests().empty());
  fetch(web, loop, "https://www.wikipedia.org/favicon.ico");
  EXPECT_EQ(network.requests(), std::vector<std::string>{"https://www.wikipedia.org/favicon.ico"});

  EXPECT_EQ(sim::SimWeb::hostOf("https://user@Docs.example.org:8443/a?b"), "Docs.example.org");
  EXPECT_EQ(sim::SimWeb::hostOf("/dev/ttys001"), "");
}

// The program as it runs: a sample tab's site icon arrives (a picture it can decode) offline.
TEST(SimWeb, TheProgramShowsTheSampleTabsIconsWithoutTheNetwork) {
  test::ensureQtApplication();
  test::AppWorld w;
  ASSERT_EQ(sim::SampleDesktop::load(w.desktop, sim::SampleDesktop::builtIn()), std::nullopt);
  w.launch();
  SwitchableItem tab;
  tab.kind = ItemKind::tab;
  tab.url = "https://docs.example.org/";
  std::optional<RGBAImage> icon;
  auto request =
      w.services().favicons->icon(tab, [&](std::optional<RGBAImage> image) { icon = std::move(image); });
  w.pause(1);
  ASSERT_TRUE(icon);
  EXPECT_GT(icon->pixelWidth(), 16);
}

}  // namespace
}  // namespace velvix
