#include <atomic>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Platform/Linux/UnixMessagePorts.hpp"
#include "Platform/Simulated/SimMainLoop.hpp"
#include "SafariExtension/Shared/PortChannel.hpp"
#include "TestSupport/Eventually.hpp"
#include "TestSupport/TempFolder.hpp"
#include "TestSupport/TestSocket.hpp"

namespace velvix::platform {
namespace {

// Real ports in a temporary folder; requests come from another thread, as from another process.
class UnixMessagePortsTest : public ::testing::Test {
 protected:
  std::optional<std::string> echo(std::int32_t, std::string data) {
    ++served;
    if (data == "silent") return std::nullopt;
    return "re:" + data;
  }
  std::unique_ptr<LocalPort> serve(UnixMessagePorts& on, const std::string& name = "group.port") {
    return on.createLocal(name,
                          [this](std::int32_t id, std::string data) { return echo(id, std::move(data)); });
  }
  // Sends from a thread of its own while the main loop turns; the reply as the sender saw it.
  RemotePort::Reply ask(UnixMessagePorts& on, const std::string& data,
                        const std::string& name = "group.port") {
    RemotePort::Reply result;
    std::atomic<bool> answered{false};
    std::thread sender([&] {
      if (auto remote = on.createRemote(name)) result = remote->sendRequest(0, data, 2.0, 0.5);
      answered = true;
      loop.post([] {});  // wakes the loop's wait
    });
    loop.runUntil([&] { return answered.load(); });
    sender.join();
    return result;
  }

  test::TempFolder home;
  sim::SimMainLoop loop;
  std::vector<std::string> logLines;
  UnixMessagePorts ports{loop, (home.path() / "Ports").string(),
                         [this](const std::string& l) { logLines.push_back(l); }};
  int served = 0;
};

TEST_F(UnixMessagePortsTest, ARequestIsAnsweredFromTheMainLoopInAPrivateFolder) {
  auto port = serve(ports);
  ASSERT_TRUE(port);
  auto reply = ask(ports, "ping");
  EXPECT_EQ(reply.status, PortStatus::success);
  EXPECT_EQ(reply.data, "re:ping");
  reply = ask(ports, "silent");
  EXPECT_EQ(reply.status, PortStatus::success);
  EXPECT_EQ(reply.data, std::nullopt);

  struct stat folder {};
  ASSERT_EQ(::stat(ports.folder().c_str(), &folder), 0);
  EXPECT_EQ(folder.st_mode & 0777, 0700u);
  port.reset();
  EXPECT_EQ(ports.createRemote("group.port"), nullptr);
}

TEST_F(UnixMessagePortsTest, ASocketLeftByACrashedRunIsReplacedButALivePortKeepsItsName) {
  ASSERT_TRUE(serve(ports));  // makes the folder, then goes away
  auto address = portchannel::Address::make(ports.folder(), portchannel::fileName("group.port"));
  ASSERT_TRUE(address);
  const int crashed = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_EQ(::bind(crashed, address->get(), address->size()), 0);
  ::close(crashed);  // its file stays, and nothing listens on it

  auto port = serve(ports);
  ASSERT_TRUE(port);
  EXPECT_EQ(ask(ports, "after crash").data, "re:after crash");
  UnixMessagePorts other{loop, ports.folder(), [this](const std::string& l) { logLines.push_back(l); }};
  EXPECT_EQ(serve(other), nullptr);
  EXPECT_EQ(logLines.back(), "message port group.port: the name is held by another port");
  EXPECT_EQ(ask(ports, "still mine").data, "re:still mine");
}

TEST_F(UnixMessagePortsTest, APortUnderADeepHomeFolderIsReachable) {
  const auto deep =
      home.path() / std::string(60, 'a') / std::string(60, 'b') / "Library/Application Support/Velvix/Ports";
  UnixMessagePorts deepPorts{loop, deep.string(), nullptr};
  auto port = serve(deepPorts, std::string(200, 'n'));
  ASSERT_TRUE(port);
  EXPECT_EQ(ask(deepPorts, "deep", std::string(200, 'n')).data, "re:deep");
}

TEST_F(UnixMessagePortsTest, ARequesterThatStallsHoldsUpNoOtherRequest) {
  auto port = serve(ports);
  auto address = portchannel::Address::make(ports.folder(), portchannel::fileName("group.port"));
  const int stalled = portchannel::connectTo(*address, 2.0);
  ASSERT_GE(stalled, 0);
  const std::string half = portchannel::frame(0, std::string(100, 'x')).substr(0, 20);
  ASSERT_EQ(::send(stalled, half.data(), half.size(), 0), static_cast<ssize_t>(half.size()));
  const int silent = portchannel::connectTo(*address, 2.0);  // a whole request whose reply is never read
  const std::string whole = portchannel::frame(0, "unread");
  ASSERT_EQ(::send(silent, whole.data(), whole.size(), 0), static_cast<ssize_t>(whole.size()));

  EXPECT_EQ(ask(ports, "next").data, "re:next");
  ::close(stalled);
  ::close(silent);
}

TEST_F(UnixMessagePortsTest, RequestsThatArriveWhileTheMainLoopIsBusyAreAllAnswered) {
  auto port = serve(ports);
  auto address = portchannel::Address::make(ports.folder(), portchannel::fileName("group.port"));
  ASSERT_TRUE(address);
  // More requesters than are served at once, all sent before the main loop turns.
  const int requests = UnixMessagePorts::kMaxConnections + 8;
  std::vector<test::TestSocket> requesters;
  for (int i = 0; i < requests; ++i) {
    test::TestSocket socket(portchannel::connectTo(*address, 2.0));
    ASSERT_TRUE(socket.isOpen()) << i;
    ASSERT_TRUE(socket.send(portchannel::frame(0, "r" + std::to_string(i))));
    requesters.push_back(std::move(socket));
  }
  ASSERT_TRUE(loop.runUntil([&] { return served == requests; })) << served << " of " << requests;
  for (int i = 0; i < requests; ++i) {
    const std::string expected = portchannel::frame(1, "re:r" + std::to_string(i));
    EXPECT_EQ(requesters[i].receive(expected.size()), expected) << i;
  }
}

TEST_F(UnixMessagePortsTest, RealRequestsAreAnsweredWhileHundredsOfRequestersStall) {
  auto port = serve(ports);
  auto address = portchannel::Address::make(ports.folder(), portchannel::fileName("group.port"));
  ASSERT_TRUE(address);
  // 200 local requesters send the start of a request and nothing more, each one as soon as
  // the port lets it in.
  std::vector<test::TestSocket> stalled;
  ASSERT_TRUE(test::eventually([&] {
    test::TestSocket socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0));
    if (::connect(socket.fd(), address->get(), address->size()) == 0 &&
        socket.send(portchannel::frame(0, "x").substr(0, 3)))
      stalled.push_back(std::move(socket));
    return stalled.size() == 200;
  }));
  constexpr int kReal = 10;
  std::atomic<int> answered{0}, right{0};
  std::vector<std::thread> senders;
  for (int r = 0; r < kReal; ++r)
    senders.emplace_back([&, r] {
      const std::string data = "real " + std::to_string(r);
      // A real requester's patience: far less than a stalled one's request window.
      auto remote = ports.createRemote("group.port");
      if (remote && remote->sendRequest(0, data, 1.0, 1.0).data == "re:" + data) ++right;
      ++answered;
      loop.post([] {});
    });
  loop.runUntil([&] { return answered == kReal; }, std::chrono::seconds(30));
  for (auto& t : senders) t.join();
  EXPECT_EQ(right, kReal);
}

TEST_F(UnixMessagePortsTest, RunningOutOfDescriptorsPausesAcceptingAndTheWaitingRequestIsServedLater) {
  auto port = serve(ports);
  ASSERT_EQ(ask(ports, "first").data, "re:first");  // the I/O thread is serving
  auto address = portchannel::Address::make(ports.folder(), portchannel::fileName("group.port"));
  test::TestSocket waiting(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  rlimit original{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &original), 0);
  rlimit lowered = original;
  const auto open = static_cast<rlim_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                                      std::filesystem::directory_iterator{}));
  lowered.rlim_cur = std::min<rlim_t>(original.rlim_cur, open + 64);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
  std::vector<int> filler;
  for (int fd; (fd = ::dup(STDERR_FILENO)) >= 0;) filler.push_back(fd);

  const bool connected = ::connect(waiting.fd(), address->get(), address->size()) == 0 &&
                         waiting.send(portchannel::frame(0, "later"));
  const bool failed = test::eventually([&] { return ports.failedAccepts() >= 1; });
  const bool spun =
      test::eventually([&] { return ports.failedAccepts() > 10; }, std::chrono::milliseconds(600));

  for (int fd : filler) ::close(fd);
  ::setrlimit(RLIMIT_NOFILE, &original);
  ASSERT_TRUE(connected);
  EXPECT_TRUE(failed);
  EXPECT_FALSE(spun) << ports.failedAccepts() << " accept attempts in 0.6 s";
  ASSERT_TRUE(loop.runUntil([&] { return served == 2; }));
  const std::string expected = portchannel::frame(1, "re:later");
  EXPECT_EQ(waiting.receive(expected.size()), expected);
}

TEST_F(UnixMessagePortsTest, ManyRequestersAtOnceEachGetTheirOwnReply) {
  auto port = serve(ports);
  constexpr int kSenders = 4, kEach = 25;
  std::atomic<int> answered{0}, right{0};
  std::vector<std::thread> senders;
  for (int s = 0; s < kSenders; ++s)
    senders.emplace_back([&, s] {
      for (int i = 0; i < kEach; ++i) {
        const std::string data = std::to_string(s) + "/" + std::to_string(i);
        auto remote = ports.createRemote("group.port");
        if (remote && remote->sendRequest(0, data, 2.0, 2.0).data == "re:" + data) ++right;
        ++answered;
        loop.post([] {});
      }
    });
  loop.runUntil([&] { return answered == kSenders * kEach; });
  for (auto& t : senders) t.join();
  EXPECT_EQ(right, kSenders * kEach);
}

}  // namespace
}  // namespace velvix::platform
