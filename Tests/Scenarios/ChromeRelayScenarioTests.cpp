#include <filesystem>

#include <gtest/gtest.h>

#include "Bridge/ExtensionCommand.hpp"
#include "Bridge/ExtensionReport.hpp"
#include "Bridge/UnixSocketServer.hpp"
#include "Platform/Linux/FileBundleReader.hpp"
#include "Platform/Linux/LinuxProcessTable.hpp"
#include "Support/ProcessLineage.hpp"
#include "TestSupport/ChildProcess.hpp"
#include "TestSupport/FakeBrowser.hpp"
#include "TestSupport/TempFolder.hpp"
#include "TestSupport/TestWorld.hpp"
#include "VelvixChromeHost/Shared/NativeFraming.hpp"

namespace velvix {
namespace {

using Client = UnixSocketServer::Client;
using test::ChildProcess;

const std::string kRelay = std::string(VELVIX_BINARY_DIR) + "/velvix_chrome_host";

// The application's socket server on the main loop of a fresh world, with real relays started
// the way a browser starts them.
class ChromeRelayScenario : public ::testing::Test {
 protected:
  void SetUp() override {
    server.onLine = [this](const std::shared_ptr<Client>& client, const std::string& line) {
      lines.push_back({client, line});
    };
    server.onDisconnect = [this](const std::shared_ptr<Client>& client) { gone.push_back(client); };
    auto error = server.start();
    ASSERT_FALSE(error) << *error;
  }

  std::map<std::string, std::string> environment() const { return {{"VELVIX_HOME", world.home.path()}}; }

  std::filesystem::path shellBundle(const std::string& name, const std::string& identifier,
                                    const std::vector<std::string>& frameworks = {}) {
    return test::shellBundle(applications.path(), name, identifier, frameworks);
  }

  // Which browser the lineage check names for the peer of the first line of `relay`.
  std::optional<Browser> lineageOfFirstLine(ChildProcess& relay) {
    relay.write(nativeframing::frame(R"({"browser":"chrome","event":"hello"})"));
    EXPECT_TRUE(world.loop.runUntil([&] { return !lines.empty(); }));
    if (lines.empty() || !lines.front().first->peerPID()) return std::nullopt;
    return ProcessLineage::chromiumBrowser(processes, world.desktop.workspace(), bundles, world.log(),
                                           *lines.front().first->peerPID(), {kRelay});
  }

  test::TestWorld world;
  test::TempFolder applications;
  UnixSocketServer server{hostchannel::socketPath(world.home.path().string()), world.loop};
  std::vector<std::pair<std::shared_ptr<Client>, std::string>> lines;
  std::vector<std::shared_ptr<Client>> gone;
  platform::LinuxProcessTable processes;
  platform::FileBundleReader bundles;
};

TEST_F(ChromeRelayScenario, AReportTravelsToTheMainLoopAndACommandBackToTheBrowser) {
  ChildProcess relay(kRelay, {}, environment());
  const std::string report =
      R"({"browser":"chrome","event":"activated","session":"9c1f","windowFocused":false,)"
      R"("tab":{"tabId":412,"windowId":3,"index":2,"title":"Docs \ud83d","url":"https://docs.example/"}})";
  ASSERT_TRUE(relay.write(nativeframing::frame(report)));

  ASSERT_TRUE(world.loop.runUntil([&] { return !lines.empty(); }));
  const auto& [client, line] = lines.front();
  EXPECT_EQ(client->peerPID(), relay.pid());
  auto parsed = ExtensionReport::parse(line);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->event, ReportEvent::activated);
  EXPECT_EQ(parsed->session, "9c1f");
  EXPECT_FALSE(parsed->windowFocused);
  ASSERT_TRUE(parsed->tab);
  EXPECT_EQ(parsed->tab->title, "Docs \xEF\xBF\xBD");

  const std::string command = ExtensionCommand::activate(parsed->tab->tabID, parsed->tab->windowID);
  ASSERT_TRUE(client->sendLine(command));
  EXPECT_EQ(test::readFrame(relay), command);

  // The browser closing the port ends the relay, and the application hears of it after the line.
  relay.closeInput();
  EXPECT_EQ(relay.waitForExit(), 0);
  ASSERT_TRUE(world.loop.runUntil([&] { return !gone.empty(); }));
  EXPECT_EQ(gone.front(), client);
  EXPECT_EQ(lines.size(), 1u);
}

TEST_F(ChromeRelayScenario, ARelayStartedByAListedBrowserIsTracedToItThroughTheRealProcessTable) {
  const auto browser = shellBundle("Brave Browser", "com.brave.Browser");
  ChildProcess relay(browser.string(), test::startingAsChild(kRelay), environment());
  EXPECT_EQ(lineageOfFirstLine(relay), Browser::brave);
  relay.closeInput();
  EXPECT_EQ(relay.waitForExit(), 0);
}

TEST_F(ChromeRelayScenario, ARelayStartedByAnUnlistedChromiumBrowserIsRejectedWithAnExplanation) {
  world.defaults.set("debugLogging", true);
  const auto browser = shellBundle("Thorium", "org.thorium.Thorium", {"Thorium Framework.framework"});
  ChildProcess relay(browser.string(), test::startingAsChild(kRelay), environment());
  EXPECT_EQ(lineageOfFirstLine(relay), std::nullopt);
  EXPECT_EQ(world.debugLines(),
            (std::vector<std::string>{
                "ProcessLineage: relay ancestor Thorium.app (org.thorium.Thorium) looks Chromium "
                "but isn't a listed Browser; rejecting \u2014 add it to enable switching"}));
}

}  // namespace
}  // namespace velvix
