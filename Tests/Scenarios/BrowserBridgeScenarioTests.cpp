#include <algorithm>
#include <csignal>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <nlohmann/json.hpp>

#include "Bridge/BrowserBridge.hpp"
#include "Bridge/ExtensionCommand.hpp"
#include "Platform/Linux/Files.hpp"
#include "Platform/Linux/LinuxProcessTable.hpp"
#include "TestSupport/BridgeTest.hpp"
#include "TestSupport/ChildProcess.hpp"
#include "TestSupport/Eventually.hpp"
#include "TestSupport/FakeBrowser.hpp"
#include "TestSupport/TempFolder.hpp"
#include "TestSupport/TestSocket.hpp"
#include "TestSupport/TestWorld.hpp"
#include "VelvixChromeHost/Shared/HostChannel.hpp"
#include "VelvixChromeHost/Shared/NativeFraming.hpp"
#include "VelvixChromeHost/Shared/SocketAddress.hpp"

namespace velvix {
namespace {

using nlohmann::json;
using test::ChildProcess;
using test::tabObject;

const std::string kRelay = std::string(VELVIX_BINARY_DIR) + "/velvix_chrome_host";
const std::string kSession = "0d5b7c2e-6a41-4f7e";

// A hostile local process: it connects to the socket, forks, and the connecting process itself
// becomes `program` (exec) while its child, holding the same connection, sends `line` once the
// exec has happened. The kernel then names a process of `program` as the peer. Killed on exit.
class ExecImpostor {
 public:
  ExecImpostor(const std::string& socketPath, const std::string& program, const std::string& line) {
    // Made before the fork: the test program has threads, so the forked processes only make
    // system calls.
    const auto address = hostchannel::SocketAddress::make(socketPath);
    const std::string text = line + "\n";
    std::string name = program, option = "-c", script = "sleep 30";
    char* argv[] = {name.data(), option.data(), script.data(), nullptr};
    if ((pid_ = ::fork()) != 0) return;
    ::setpgid(0, 0);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int execDone[2];  // its write end closes when the exec succeeds
    if (!address || ::connect(fd, address->get(), address->size()) != 0 || ::pipe2(execDone, O_CLOEXEC) != 0)
      ::_exit(126);
    if (::fork() == 0) {
      ::close(execDone[1]);
      char byte = 0;
      while (::read(execDone[0], &byte, 1) > 0) {
      }
      if (::send(fd, text.data(), text.size(), MSG_NOSIGNAL) > 0) ::poll(nullptr, 0, 30000);
      ::_exit(0);
    }
    ::execv(program.c_str(), argv);
    ::_exit(127);
  }
  ~ExecImpostor() {
    if (pid_ <= 0) return;  // never a signal to every process
    ::kill(-pid_, SIGKILL);
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
};

// The application's bridge listening on its real socket in a temporary home, with the real
// process table for the peer check, and Chrome running on the simulated desktop.
class BrowserBridgeScenario : public ::testing::Test {
 protected:
  void SetUp() override {
    world.options.processes = &processes;
    world.defaults.set("debugLogging", true);
    world.desktop.launch({.bundleID = "com.google.Chrome", .name = "Google Chrome"});
    world.browserBridge().start();
    ASSERT_TRUE(world.browserBridge().isListening());
  }

  // A relay started by a made-up Chrome through pipes, as the browser starts it.
  std::unique_ptr<ChildProcess> relayOfChrome(const std::string& relay = kRelay) {
    const auto chrome = test::shellBundle(applications.path(), "Google Chrome", "com.google.Chrome");
    return std::make_unique<ChildProcess>(
        chrome.string(), test::startingAsChild(relay),
        std::map<std::string, std::string>{{"VELVIX_HOME", world.home.path()}});
  }
  std::optional<std::string> frontID() {
    const auto ranked = world.mru().rankedForSwitcher();
    return ranked.empty() ? std::nullopt : std::optional<std::string>(ranked.front().id);
  }
  const SwitchableItem* find(const std::string& id) { return world.item(id); }
  // Turns the loop until `done` holds, within a real-time bound: for what no posted work announces
  // (a process ending, a line the socket's thread logs).
  bool waitFor(const std::function<bool()>& done) {
    return test::eventually([&] {
      world.loop.runUntilIdle();
      return done();
    });
  }
  std::size_t logCount(const std::string& prefix) {
    const auto lines = world.debugLines();
    return std::count_if(lines.begin(), lines.end(),
                         [&](const std::string& l) { return l.starts_with(prefix); });
  }
  static std::string id(std::int64_t tabID) {
    return MRUManager::tabItemID(Browser::chrome, kSession, tabID);
  }

  platform::LinuxProcessTable processes;  // outlives the world built over it
  test::TestWorld world;
  test::TempFolder applications;
};

TEST_F(BrowserBridgeScenario, ATabTravelsFromTheBrowserToTheFrontOfTheSwitcherAndIsActivatedBack) {
  auto relay = relayOfChrome();
  const json windows =
      json::array({{{"windowId", 1},
                    {"focused", true},
                    {"tabs",
                     {tabObject(101, 1, "https://mail.example/", true, 0),
                      tabObject(102, 1, "https://docs.example/", false, 1)}}},
                   {{"windowId", 2}, {"tabs", {tabObject(201, 2, "https://news.example/", true, 0)}}}});
  ASSERT_TRUE(
      relay->write(nativeframing::frame(test::report("chrome", "sync", kSession, {{"windows", windows}}))));
  ASSERT_TRUE(world.loop.runUntil([&] { return find(id(101)) && find(id(201)); }));
  EXPECT_EQ(frontID(), id(101));
  EXPECT_TRUE(world.browserBridge().isChromiumConnected(Browser::chrome));

  json docs = tabObject(102, 1, "https://docs.example/", true, 1);
  ASSERT_TRUE(
      relay->write(nativeframing::frame(test::report("chrome", "activated", kSession, {{"tab", docs}}))));
  ASSERT_TRUE(world.loop.runUntil([&] { return frontID() == id(102); }));

  const SwitchableItem news = *find(id(201));
  ASSERT_TRUE(world.browserBridge().sendActivate(news));
  EXPECT_EQ(test::readFrame(*relay), ExtensionCommand::activate(201, 2));

  // The browser closes the port: the relay ends, its connection goes, its tabs stay.
  relay->closeInput();
  EXPECT_EQ(relay->waitForExit(), 0);
  ASSERT_TRUE(
      world.loop.runUntil([&] { return !world.browserBridge().isChromiumConnected(Browser::chrome); }));
  EXPECT_TRUE(find(id(101)) && find(id(102)) && find(id(201)));
  EXPECT_FALSE(world.browserBridge().sendActivate(news));
}

// The relay is accepted only as the child of the browser's program: started by a shell, even one
// the browser started, it is dropped, and its report with it.
TEST_F(BrowserBridgeScenario, ARelayStartedByAShellIsRefused) {
  const auto chrome = test::shellBundle(applications.path(), "Google Chrome", "com.google.Chrome");
  const std::map<std::string, std::string> environment{{"VELVIX_HOME", world.home.path()}};
  ChildProcess byShell("/bin/sh", test::startingAsChild(kRelay), environment);
  ChildProcess byBrowsersShell(chrome.string(), {"-c", "/bin/sh -c \"'" + kRelay + "'; exit 0\"; exit 0"},
                               environment);
  for (ChildProcess* relay : {&byShell, &byBrowsersShell}) {
    // Dropped as it connects, the relay may be gone before its report is written.
    relay->write(nativeframing::frame(test::activated("chrome", kSession, 5)));
    EXPECT_TRUE(waitFor([&] { return relay->waitForExit(std::chrono::milliseconds(0)).has_value(); }));
    EXPECT_EQ(relay->waitForExit(std::chrono::milliseconds(0)), 0);
  }
  world.loop.runUntilIdle();
  EXPECT_EQ(logCount("rejecting socket peer pid="), 2u);
  EXPECT_FALSE(find(id(5)));
  EXPECT_TRUE(world.browserBridge().chromiumClients().empty());
}

// A process that connects, forks, and becomes the browser's program: the kernel names a browser
// process as the peer, but it never ran the relay, and its child's made-up tab is refused.
TEST_F(BrowserBridgeScenario, AProcessThatConnectsAndThenBecomesTheBrowserIsRefused) {
  const auto chrome = test::shellBundle(applications.path(), "Google Chrome", "com.google.Chrome");
  ExecImpostor impostor(hostchannel::socketPath(world.home.path().string()), chrome.string(),
                        test::activated("chrome", kSession, 666, "https://impostor.example/"));
  const std::string refusal = "rejecting socket peer pid=" + std::to_string(impostor.pid());
  EXPECT_TRUE(waitFor([&] { return logCount(refusal) == 1; }));
  world.loop.runUntilIdle();
  EXPECT_FALSE(find(id(666)));
  EXPECT_TRUE(world.browserBridge().chromiumClients().empty());
}

// Local processes that connect and say nothing hold none of the socket's places: a relay started
// while sixteen of them are connected is served.
TEST_F(BrowserBridgeScenario, SixteenIdleConnectionsLeaveTheRelayItsPlace) {
  std::vector<test::TestSocket> idle;
  for (int i = 0; i < UnixSocketServer::kMaxClients; ++i)
    idle.push_back(test::TestSocket::connectTo(hostchannel::socketPath(world.home.path().string())));
  auto relay = relayOfChrome();
  ASSERT_TRUE(relay->write(nativeframing::frame(test::activated("chrome", kSession, 5))));
  EXPECT_TRUE(world.loop.runUntil([&] { return find(id(5)) != nullptr; }));
}

TEST_F(BrowserBridgeScenario, TheInstalledManifestStartsTheInstalledRelayWhichReachesTheApplication) {
  std::filesystem::copy_file(kRelay, world.resourceFolder.path() / "velvix_chrome_host");
  world.desktop.install(
      {.bundleID = "com.google.Chrome", .name = "Google Chrome", .path = "/Applications/Google Chrome.app"});
  ASSERT_EQ(world.hostInstaller().install(), std::nullopt);

  // What the browser does: read the manifest of the host name, start the program it names.
  const auto manifest = files::readAll(world.home.path() / "Library/Application Support/Google/Chrome" /
                                       "NativeMessagingHosts/com.kolvi.velvix.json");
  ASSERT_TRUE(manifest);
  const std::string path = nlohmann::json::parse(*manifest)["path"];
  EXPECT_NE(path, kRelay);  // the copy in the support folder, not the build's program
  auto relay = relayOfChrome(path);
  ASSERT_TRUE(relay->write(nativeframing::frame(test::report("chrome", "hello", kSession))));
  ASSERT_TRUE(world.loop.runUntil(
      [&] { return world.browserBridge().client(Browser::chrome, kSession) != nullptr; }));
  world.browserBridge().requestChromiumSync(Browser::chrome);
  EXPECT_EQ(test::readFrame(*relay), ExtensionCommand::sync());
}

}  // namespace
}  // namespace velvix
