// A Chromium tab reported through the real relay and the application's real socket is switched to
// by the chord: the relay hands the browser the activate command.

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "Bridge/BrowserBridge.hpp"
#include "Bridge/ExtensionCommand.hpp"
#include "Core/MRUManager.hpp"
#include "Platform/Linux/FileBundleReader.hpp"
#include "Platform/Linux/LinuxProcessTable.hpp"
#include "TestSupport/AppWorld.hpp"
#include "TestSupport/BridgeTest.hpp"
#include "TestSupport/ChildProcess.hpp"
#include "TestSupport/FakeBrowser.hpp"
#include "VelvixChromeHost/Shared/NativeFraming.hpp"

namespace velvix {
namespace {

using nlohmann::json;
using platform::EventFlag::kCommand;

TEST(ChromiumChordScenario, ACommandTabTapSwitchesToTheTabTheExtensionReported) {
  platform::LinuxProcessTable processes;  // the relay is a real process
  platform::FileBundleReader bundles;
  test::AppWorld w;
  w.options.processes = &processes;
  w.options.bundles = &bundles;
  auto chromePid = w.launchApp("com.google.Chrome", "Google Chrome", {"Mail"});
  w.launch();
  w.desktop.activate(chromePid);
  w.pause(1);
  ASSERT_TRUE(w.services().browserBridge->isListening());

  test::TempFolder applications;
  const auto chrome = test::shellBundle(applications.path(), "Google Chrome", "com.google.Chrome");
  test::ChildProcess relay(chrome.string(),
                           test::startingAsChild(std::string(VELVIX_BINARY_DIR) + "/velvix_chrome_host"),
                           {{"VELVIX_HOME", w.home.path()}});
  const std::string session = "5e1f0a2b-77c3";
  const json windows = json::array({{{"windowId", 4},
                                     {"focused", true},
                                     {"tabs",
                                      {test::tabObject(11, 4, "https://docs.example/", false, 0),
                                       test::tabObject(12, 4, "https://mail.example/", true, 1)}}}});
  ASSERT_TRUE(
      relay.write(nativeframing::frame(test::report("chrome", "sync", session, {{"windows", windows}}))));
  const std::string docs = MRUManager::tabItemID(Browser::chrome, session, 11);
  // The user was on Docs before Mail.
  ASSERT_TRUE(relay.write(nativeframing::frame(test::report(
      "chrome", "activated", session, {{"tab", test::tabObject(11, 4, "https://docs.example/", true, 0)}}))));
  ASSERT_TRUE(w.loop.runUntil([&] { return w.services().mru->title(docs).has_value(); }));
  w.pause(2);
  ASSERT_TRUE(relay.write(nativeframing::frame(test::report(
      "chrome", "activated", session, {{"tab", test::tabObject(12, 4, "https://mail.example/", true, 1)}}))));
  const std::string mail = MRUManager::tabItemID(Browser::chrome, session, 12);
  ASSERT_TRUE(w.loop.runUntil([&] {
    auto ranked = w.services().mru->rankedForSwitcher();
    return !ranked.empty() && ranked.front().id == mail;
  }));

  w.hold(kCommand);
  w.tab();
  w.release();
  w.pause(0.5);
  EXPECT_EQ(test::readFrame(relay), ExtensionCommand::activate(11, 4));
  EXPECT_EQ(w.frontmostPid(), chromePid);
}

}  // namespace
}  // namespace velvix
