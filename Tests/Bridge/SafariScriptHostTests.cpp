// The in-process Safari script host: compile once, warm-ups, busy and unusable hosts handing
// switches to the script runner, and its log lines.

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

#include "Bridge/SafariScriptHost.hpp"
#include "Platform/Linux/SerialQueue.hpp"
#include "Platform/Simulated/SimInProcessScripts.hpp"
#include "Platform/Simulated/SimScriptRunner.hpp"
#include "TestSupport/Eventually.hpp"
#include "TestSupport/TestWorld.hpp"

namespace velvix {
namespace {

using test::TestWorld;

struct SafariWorld : TestWorld {
  SafariWorld() {
    defaults.set("debugLogging", true);
    services();
    safari = desktop.launch({.bundleID = "com.apple.Safari", .name = "Safari"});
    back = desktop.addWindow(safari, {.title = "", .bounds = {0, 0, 900, 700}});
    desktop.addTab(back, {.title = "News", .url = "https://news.example/"});
    desktop.addTab(back, {.title = "Mail", .url = "https://mail.example/"}, false);
    front = desktop.addWindow(safari, {.title = "", .bounds = {0, 0, 900, 700}});
    desktop.addTab(front, {.title = "Docs", .url = "https://docs.example/"});
  }
  SwitchableItem tab(const std::string& title, const std::string& url,
                     std::optional<std::int64_t> index = {}) {
    SwitchableItem item;
    item.id = "tab:safari:win:as:1:url:" + title;
    item.kind = ItemKind::tab;
    item.browser = Browser::safari;
    item.title = title;
    item.url = url;
    item.tabIndex = index;
    return item;
  }
  sim::SimInProcessScripts& engine() { return desktop.inProcessScripts(); }
  bool logged(const std::string& line) {
    auto lines = debugLines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }

  platform::Pid safari = 0;
  std::int64_t back = 0, front = 0;
};

TEST(SafariScriptHost, WarmUpCompilesOnceMatchesNoTabAndTheFirstSwitchFindsItReady) {
  SafariWorld w;
  w.safariHost().warm();
  w.loop.advance(1);
  EXPECT_EQ(w.engine().compiles, 1);
  EXPECT_EQ(w.desktop.stackingOrder().front(), w.front);  // nothing switched
  EXPECT_TRUE(w.logged("safari host: resolvetab \u2192 false in 20ms"));

  std::optional<bool> switched;
  const int runs = w.desktop.scriptRuns;
  w.appleScripts().resolve(w.tab("Mail", "https://mail.example/", 1), "resolvetab",
                           [&](bool ok) { switched = ok; });
  w.loop.advance(1);
  EXPECT_EQ(switched, true);
  EXPECT_EQ(w.desktop.stackingOrder().front(), w.back);
  EXPECT_EQ(w.desktop.window(w.back)->activeTab, 1u);
  EXPECT_EQ(w.engine().compiles, 1);
  EXPECT_EQ(w.desktop.scriptRuns, runs);  // no child process
}

TEST(SafariScriptHost, ASwitchArrivingWhileTheHostIsBusyGoesThroughTheRunnerWithTheWindowTitles) {
  SafariWorld w;
  std::vector<bool> results;
  w.appleScripts().resolve(w.tab("Mail", "https://mail.example/"), "resolvetab",
                           [&](bool ok) { results.push_back(ok); });
  EXPECT_TRUE(w.safariHost().isBusy());
  w.appleScripts().resolve(w.tab("News", "https://news.example/"), "resolvetab",
                           [&](bool ok) { results.push_back(ok); });
  w.loop.advance(1);
  EXPECT_EQ(results, (std::vector<bool>{true, true}));
  EXPECT_EQ(w.engine().calls, 1);
  ASSERT_TRUE(w.desktop.scripts().lastRequest());
  EXPECT_EQ(w.desktop.scripts().lastRequest()->handler, "resolvetab");
  EXPECT_EQ(w.desktop.scripts().lastRequest()->windowTitles.size(), 2u);
  EXPECT_FALSE(w.safariHost().isBusy());
}

TEST(SafariScriptHost, ACompileFailureMakesTheHostUnusableForTheRestOfTheRun) {
  SafariWorld w;
  w.engine().compileFailure = platform::ScriptError{-2741, "Expected end of line."};
  std::vector<bool> results;
  w.appleScripts().resolve(w.tab("Mail", "https://mail.example/"), "resolvetab",
                           [&](bool ok) { results.push_back(ok); });
  w.loop.advance(1);
  EXPECT_TRUE(w.safariHost().isUnusable());
  EXPECT_TRUE(w.logged("safari host: compile failed, using osascript: -2741 Expected end of line."));
  EXPECT_TRUE(w.logged("resolvetab safari: script failed or timed out for tab:safari:win:as:1:url:Mail"));
  w.appleScripts().resolve(w.tab("Mail", "https://mail.example/"), "resolvetab",
                           [&](bool ok) { results.push_back(ok); });
  w.loop.advance(1);
  EXPECT_EQ(results, (std::vector<bool>{false, true}));  // the runner carried the second
  EXPECT_EQ(w.engine().compiles, 1);
  w.safariHost().warm();  // an unusable host does not warm up
  w.loop.advance(1);
  EXPECT_EQ(w.engine().compiles, 1);

  SafariWorld bare;
  bare.engine().compileFailure = platform::ScriptErrorDictionary{};  // no error dictionary at all
  bare.safariHost().warm();
  bare.loop.advance(1);
  EXPECT_TRUE(bare.logged("safari host: compile failed, using osascript: unknown"));
}

TEST(SafariScriptHost, ExecutionErrorsAreLoggedWithTheirNumberAndMessageAndTheHostStaysUsable) {
  SafariWorld w;
  w.engine().failingCalls.push_back(platform::ScriptError{-1712, "AppleEvent timed out."});
  w.engine().failingCalls.push_back(platform::ScriptError{-1743, std::nullopt});
  w.engine().failingCalls.push_back(platform::ScriptError{});
  for (int i = 0; i < 3; ++i) {
    w.safariHost().resolve("closetab", {}, 0, "https://x/", "X", false,
                           [](auto lines) { EXPECT_FALSE(lines); });
    w.loop.advance(1);
  }
  EXPECT_TRUE(w.logged("safari host: closetab failed in 20ms: -1712 AppleEvent timed out."));
  EXPECT_TRUE(w.logged("safari host: closetab failed in 20ms: -1743 "));
  EXPECT_TRUE(w.logged("safari host: closetab failed in 20ms: ? "));
  EXPECT_FALSE(w.safariHost().isUnusable());
}

TEST(SafariScriptHost, SafariLaunchingWarmsTheHostThreeSecondsLater) {
  TestWorld w;
  w.services();
  w.safariHost().start();  // Safari not running: nothing to warm
  w.loop.advance(1);
  EXPECT_EQ(w.desktop.inProcessScripts().compiles, 0);
  w.desktop.launch({.bundleID = "com.apple.Safari", .name = "Safari"});
  w.loop.advance(2.9);
  EXPECT_EQ(w.desktop.inProcessScripts().compiles, 0);
  w.loop.advance(0.2);
  EXPECT_EQ(w.desktop.inProcessScripts().compiles, 1);
  EXPECT_EQ(w.desktop.inProcessScripts().calls, 1);
}

// A thread-safe engine on a real serial queue: calls run one at a time on the host's thread,
// compile once, and every completion comes back on the main loop.
class ThreadedEngine final : public platform::InProcessScripts {
 public:
  std::unique_ptr<platform::TaskQueue> makeSerialQueue(const std::string& label) override {
    return std::make_unique<platform::SerialQueue>(label);
  }
  std::unique_ptr<platform::CompiledScript> create(const std::string&) override {
    struct Script : platform::CompiledScript {
      ThreadedEngine& engine;
      explicit Script(ThreadedEngine& e) : engine(e) {}
      bool compile(platform::ScriptErrorDictionary&) override {
        ++engine.compiles;
        return true;
      }
      platform::ScriptCallResult callSubroutine(const std::string&,
                                                const std::vector<platform::ScriptParameter>& p) override {
        if (engine.inCall.exchange(true)) engine.overlapped = true;
        platform::ScriptCallResult r;
        r.text = std::get<std::string>(p[3]);  // answers with the URL it was given
        engine.inCall = false;
        return r;
      }
    };
    return std::make_unique<Script>(*this);
  }
  std::atomic<int> compiles{0};
  std::atomic<bool> inCall{false}, overlapped{false};
};

TEST(SafariScriptHost, CallsOnARealQueueRunOneAtATimeAndAnswerOnTheMainLoop) {
  TestWorld w;
  w.services();
  ThreadedEngine engine;
  std::vector<std::string> answers;
  {
    SafariScriptHost host(w.desktop.workspace(), w.runningApps(), w.loop, w.log(), engine);
    for (int i = 0; i < 50; ++i)
      host.resolve("resolvetab", {"T"}, i, std::to_string(i), "t", false, [&](auto lines) {
        EXPECT_TRUE(w.loop.isMainThread());
        answers.push_back(lines ? lines->front() : "<none>");
      });
    ASSERT_TRUE(w.loop.runUntil([&] { return answers.size() == 50; }));
  }
  EXPECT_EQ(engine.compiles.load(), 1);
  EXPECT_FALSE(engine.overlapped.load());
  EXPECT_EQ(answers.front(), "0");
  EXPECT_EQ(answers.back(), "49");
}

}  // namespace
}  // namespace velvix
