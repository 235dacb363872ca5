#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include <dirent.h>
#include <gtest/gtest.h>
#include <linux/sockios.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Bridge/UnixSocketServer.hpp"
#include "Platform/Simulated/SimMainLoop.hpp"
#include "TestSupport/Eventually.hpp"
#include "TestSupport/TempFolder.hpp"
#include "TestSupport/TestSocket.hpp"

namespace velvix {
namespace {

using Client = UnixSocketServer::Client;
using test::TestSocket;

mode_t modeOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return info.st_mode;
}

std::size_t openDescriptorCount() {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
  return count;
}

class UnixSocketServerTest : public ::testing::Test {
 protected:
  // What reached the main loop, in order: "<client number>:<line>" or "<client number>:gone".
  std::vector<std::string> events;
  std::map<std::uint64_t, std::shared_ptr<Client>> clients;

  void start(const std::string& socketPath, double firstLineDeadline = UnixSocketServer::kFirstLineDeadline) {
    server = std::make_unique<UnixSocketServer>(socketPath, loop, firstLineDeadline);
    server->onLine = [this](const std::shared_ptr<Client>& client, const std::string& line) {
      EXPECT_TRUE(loop.isMainThread());
      clients[client->number()] = client;
      events.push_back(std::to_string(client->number()) + ":" + line);
    };
    server->onDisconnect = [this](const std::shared_ptr<Client>& client) {
      EXPECT_TRUE(loop.isMainThread());
      events.push_back(std::to_string(client->number()) + ":gone");
    };
    auto error = server->start();
    ASSERT_FALSE(error) << *error;
  }
  void start() { start(path); }

  bool waitForEvents(std::size_t count) {
    return loop.runUntil([&] { return events.size() >= count; });
  }

  // A connected client that has been seen by the server (its first line delivered).
  TestSocket connectAndGreet(const std::string& greeting) {
    TestSocket socket = TestSocket::connectTo(path);
    EXPECT_TRUE(socket.isOpen());
    const std::size_t before = events.size();
    EXPECT_TRUE(socket.send(greeting + "\n"));
    EXPECT_TRUE(waitForEvents(before + 1));
    return socket;
  }

  test::TempFolder home;
  sim::SimMainLoop loop;
  std::string path = hostchannel::socketPath(home.path().string());
  std::unique_ptr<UnixSocketServer> server;
};

// ---- start --------------------------------------------------------------------------------------

TEST_F(UnixSocketServerTest, StartMakesAPrivateSocketInAPrivateFolderReplacingAStaleFile) {
  const auto folder = std::filesystem::path(path).parent_path();
  std::filesystem::create_directories(folder);
  ::chmod(folder.c_str(), 0755);
  std::ofstream(path) << "left over";

  start();

  EXPECT_EQ(modeOf(folder.string()) & 0777, 0700u);
  EXPECT_TRUE(S_ISSOCK(modeOf(path)));
  EXPECT_EQ(modeOf(path) & 0777, 0600u);
  EXPECT_TRUE(TestSocket::connectTo(path).isOpen());
}

TEST_F(UnixSocketServerTest, ADeepHomeFolderStillGetsItsSocket) {
  // Far beyond what a socket address holds: bound and reached through the folder.
  const std::string deep = hostchannel::socketPath((home.path() / std::string(180, 'h')).string());
  std::filesystem::create_directories(std::filesystem::path(deep).parent_path());
  std::ofstream(deep) << "left over";
  start(deep);
  EXPECT_TRUE(S_ISSOCK(modeOf(deep)));
  EXPECT_EQ(modeOf(deep) & 0777, 0600u);
  auto peer = TestSocket::connectTo(deep);
  ASSERT_TRUE(peer.isOpen());
  EXPECT_TRUE(peer.send("hello\n"));
  ASSERT_TRUE(waitForEvents(1));
  EXPECT_EQ(events.front(), "1:hello");
}

TEST_F(UnixSocketServerTest, AFolderThatCannotBeMadeIsReportedAsTheFileSystemSaysIt) {
  std::ofstream(home.path() / "Library") << "a file where a folder should be";
  UnixSocketServer blocked(path, loop);
  auto error = blocked.start();
  ASSERT_TRUE(error);
  EXPECT_NE(error->find("Library"), std::string::npos) << *error;
}

// ---- lines --------------------------------------------------------------------------------------

TEST_F(UnixSocketServerTest, LinesArriveTrimmedAndInOrderWhileBlankAndBrokenOnesAreSkipped) {
  start();
  TestSocket socket = TestSocket::connectTo(path);
  ASSERT_TRUE(
      socket.send(" \t{\"a\":1}\t \n"
                  "   \n"
                  "\n"
                  "bad \xC3\x28 bytes\n"
                  "\xE2\x80\x83wide spaces\xC2\xA0\n"
                  "kept return\r\n"
                  "two"));
  ASSERT_TRUE(socket.send(" halves\nlast"));
  socket.close();
  ASSERT_TRUE(waitForEvents(5));
  EXPECT_EQ(events, (std::vector<std::string>{"1:{\"a\":1}", "1:wide spaces", "1:kept return\r",
                                              "1:two halves", "1:gone"}));
}

TEST_F(UnixSocketServerTest, EachConnectionKeepsItsOwnOrderAndItsPeerProcess) {
  start();
  TestSocket first = TestSocket::connectTo(path);
  TestSocket second = TestSocket::connectTo(path);
  for (int i = 0; i < 50; ++i) {
    ASSERT_TRUE(first.send("a" + std::to_string(i) + "\n"));
    ASSERT_TRUE(second.send("b" + std::to_string(i) + "\n"));
  }
  ASSERT_TRUE(waitForEvents(100));
  std::map<std::string, std::vector<std::string>> byClient;
  for (const auto& event : events)
    byClient[event.substr(0, event.find(':'))].push_back(event.substr(event.find(':') + 1));
  ASSERT_EQ(byClient.size(), 2u);
  for (auto& [number, lines] : byClient) {
    ASSERT_EQ(lines.size(), 50u);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(lines[i].substr(1), std::to_string(i));
  }
  for (const auto& [number, client] : clients) EXPECT_EQ(client->peerPID(), ::getpid());
}

// A socket the program made itself is taken as a connection from the peer it names, both ways;
// before the server runs it is refused and closed.
TEST_F(UnixSocketServerTest, AnAdoptedSocketIsAConnectionFromTheNamedPeer) {
  int early[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, early), 0);
  UnixSocketServer idle(path, loop);
  EXPECT_FALSE(idle.adopt(early[0], 4242));
  char byte = 0;
  EXPECT_EQ(::read(early[1], &byte, 1), 0);  // the adopted end was closed
  ::close(early[1]);

  start();
  int ends[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
  ASSERT_TRUE(server->adopt(ends[0], 4242));
  ASSERT_EQ(::write(ends[1], "hello\n", 6), 6);
  ASSERT_TRUE(waitForEvents(1));
  EXPECT_EQ(events.back().substr(events.back().find(':')), ":hello");
  const auto client = clients.begin()->second;
  EXPECT_EQ(client->peerPID(), 4242);
  EXPECT_TRUE(client->isAdopted());
  ASSERT_TRUE(client->sendLine("sync"));
  char reply[5] = {};
  ASSERT_TRUE(test::eventually([&] { return ::recv(ends[1], reply, 5, MSG_DONTWAIT | MSG_PEEK) == 5; }));
  EXPECT_EQ(std::string(reply, 5), "sync\n");
  ::close(ends[1]);
}

TEST_F(UnixSocketServerTest, SixteenClientsStayAndASeventeenthIsClosedWithoutACallback) {
  start();
  std::vector<TestSocket> sockets;
  for (int i = 0; i < UnixSocketServer::kMaxClients; ++i) sockets.push_back(connectAndGreet("hello"));
  TestSocket extra = TestSocket::connectTo(path);
  ASSERT_TRUE(extra.isOpen());  // the kernel queues it; the server then closes it
  EXPECT_TRUE(extra.waitForClose());
  ASSERT_TRUE(sockets[0].send("still here\n"));
  ASSERT_TRUE(waitForEvents(17));
  loop.runUntilIdle();
  EXPECT_EQ(events.size(), 17u);
  EXPECT_EQ(events.back(), "1:still here");

  // A freed place is taken by the next connection.
  sockets[3].close();
  ASSERT_TRUE(waitForEvents(18));
  EXPECT_EQ(events.back(), "4:gone");
  connectAndGreet("newcomer");
  EXPECT_EQ(events.back(), "17:newcomer");  // the refused connection never became a client
}

// Peers that connect and say nothing (or only blank lines) lose their places at the deadline, so
// a peer that comes after sixteen of them is served; one that has spoken keeps its place.
TEST_F(UnixSocketServerTest, ConnectionsThatSendNoLineLoseTheirPlacesAtTheDeadline) {
  start(path, 1.0);
  TestSocket talker = connectAndGreet("hello");
  std::vector<TestSocket> idle;
  for (int i = 2; i < UnixSocketServer::kMaxClients; ++i) idle.push_back(TestSocket::connectTo(path));
  idle.push_back(TestSocket::connectTo(path));
  ASSERT_TRUE(idle.back().send("\n \t\n"));
  for (auto& socket : idle) EXPECT_TRUE(socket.waitForClose());
  ASSERT_TRUE(loop.runUntil([&] { return std::count(events.begin(), events.end(), "16:gone") == 1; }));
  loop.runUntilIdle();
  TestSocket newcomer = connectAndGreet("newcomer");
  EXPECT_EQ(events.back(), "17:newcomer");
  ASSERT_TRUE(talker.send("still here\n"));
  ASSERT_TRUE(loop.runUntil([&] { return events.back() == "1:still here"; }));
}

TEST_F(UnixSocketServerTest, MoreThanFourMebibytesWithoutALineFeedClosesTheConnection) {
  start();
  TestSocket socket = connectAndGreet("hello");
  ASSERT_TRUE(socket.send(std::string(UnixSocketServer::kMaxBufferedBytes, 'x')));
  // Once the server has taken every byte, it still answers on the connection.
  ASSERT_TRUE(test::eventually([&] {
    int unread = -1;
    return ::ioctl(socket.fd(), SIOCOUTQ, &unread) == 0 && unread == 0;
  }));
  loop.runUntilIdle();
  EXPECT_EQ(events, (std::vector<std::string>{"1:hello"}));
  ASSERT_TRUE(clients[1]->sendLine("{\"cmd\":\"sync\"}"));
  EXPECT_EQ(socket.receive(15), "{\"cmd\":\"sync\"}\n");

  // One byte more is over the limit.
  socket.send("x");
  EXPECT_TRUE(socket.waitForClose());
  ASSERT_TRUE(waitForEvents(2));
  EXPECT_EQ(events.back(), "1:gone");
  EXPECT_TRUE(clients[1]->isClosed());
}

TEST_F(UnixSocketServerTest, ALineOfFourMebibytesArrivesWholeWithTheLinesAroundIt) {
  start();
  TestSocket socket = connectAndGreet("hello");
  const std::string largest(UnixSocketServer::kMaxBufferedBytes, 'x');
  std::string last;
  server->onLine = [&](const std::shared_ptr<Client>& client, const std::string& line) {
    events.push_back(std::to_string(client->number()) + ":" + std::to_string(line.size()));
    last = line;
  };
  // Sent from another thread: the server reads no further while a line waits for the main loop.
  bool sent = false;
  std::thread sender([&] { sent = socket.send(largest + "\n" + largest + "\nshort\n"); });
  const bool arrived = waitForEvents(4);
  sender.join();
  ASSERT_TRUE(sent);
  ASSERT_TRUE(arrived);
  EXPECT_EQ(events, (std::vector<std::string>{"1:hello", "1:4194304", "1:4194304", "1:5"}));
  EXPECT_EQ(last, "short");
  EXPECT_FALSE(clients[1]->isClosed());
}

// A client that sends far more than the main loop takes in: the server stops reading it once
// its lines waiting for the main loop reach the bound, so memory stays bounded and another
// client's line is not queued behind the whole flood. Nothing is lost: every line arrives.
TEST_F(UnixSocketServerTest, AFloodingClientIsReadOnlyAsFastAsTheMainLoopTakesItsLines) {
  start();
  TestSocket flooder = connectAndGreet("flood");
  TestSocket other = connectAndGreet("other");
  const int total = 200000;
  std::thread sender([&] {
    std::string batch;
    for (int i = 0; i < total; ++i) {
      batch += "{\"n\":" + std::to_string(i) + "}\n";
      if (batch.size() > 60000 || i == total - 1) {
        if (!flooder.send(batch)) return;
        batch.clear();
      }
    }
  });
  // The server fills its backlog for the flooder and stops; the sender is then held back by the
  // socket's buffer (far from done), and what waits for the main loop stays within the bound.
  const bool heldBack = test::eventually([&] {
    int unsent = 0;
    return ::ioctl(flooder.fd(), SIOCOUTQ, &unsent) == 0 && unsent > 64 * 1024;
  });
  ASSERT_TRUE(other.send("urgent\n"));
  auto urgent = [&] { return std::find(events.begin(), events.end(), "2:urgent"); };
  ASSERT_TRUE(loop.runUntil([&] { return urgent() != events.end(); }));
  const auto floodBefore =
      std::count_if(events.begin(), urgent(), [](const auto& e) { return e.starts_with("1:{"); });
  EXPECT_TRUE(heldBack);
  // The bound, plus what the reads that crossed it carried (a flood line has at least 9 bytes).
  const std::size_t perRead = UnixSocketServer::kReadChunk / 9 + 1;
  EXPECT_LE(floodBefore, static_cast<long>(UnixSocketServer::kMaxQueuedLines + 2 * perRead));

  // Everything the flooder sent still arrives, in order.
  ASSERT_TRUE(loop.runUntil([&] { return events.size() >= static_cast<std::size_t>(total) + 3; },
                            std::chrono::seconds(60)));
  sender.join();
  int expected = 0;
  for (const auto& event : events)
    if (event.starts_with("1:{")) EXPECT_EQ(event, "1:{\"n\":" + std::to_string(expected++) + "}");
  EXPECT_EQ(expected, total);
}

// ---- writing ------------------------------------------------------------------------------------

TEST_F(UnixSocketServerTest, LinesWrittenFromManyThreadsArriveWhole) {
  start();
  TestSocket socket = connectAndGreet("hello");
  auto client = clients[1];
  std::vector<std::thread> writers;
  const std::string body(300, 'w');
  for (int t = 0; t < 4; ++t)
    writers.emplace_back([&, t] {
      for (int i = 0; i < 100; ++i) EXPECT_TRUE(client->sendLine(std::to_string(t) + body));
    });
  const std::size_t lineBytes = 1 + body.size() + 1;
  std::string received = socket.receive(400 * lineBytes);
  for (auto& writer : writers) writer.join();
  ASSERT_EQ(received.size(), 400 * lineBytes);
  for (std::size_t at = 0; at < received.size(); at += lineBytes) {
    EXPECT_EQ(received.substr(at + 1, body.size()), body);
    EXPECT_EQ(received[at + lineBytes - 1], '\n');
  }
}

TEST_F(UnixSocketServerTest, WritingToAClosedConnectionOrBeyondTheQueueFails) {
  start();
  TestSocket socket = connectAndGreet("hello");
  auto client = clients[1];
  EXPECT_FALSE(client->sendLine("{\"cmd\":\"close\",\n\"tabId\":1}"));  // would arrive as two messages
  EXPECT_FALSE(client->sendLine(std::string(UnixSocketServer::kMaxQueuedSendBytes, 'x')));  // refused whole
  EXPECT_TRUE(client->sendLine("{\"cmd\":\"sync\"}"));
  EXPECT_EQ(socket.receive(15), "{\"cmd\":\"sync\"}\n");
  socket.close();
  ASSERT_TRUE(waitForEvents(2));
  EXPECT_EQ(events.back(), "1:gone");
  EXPECT_TRUE(client->isClosed());
  EXPECT_FALSE(client->sendLine("{\"cmd\":\"sync\"}"));
}

TEST_F(UnixSocketServerTest, LinesThePeerCannotTakeYetWaitInOrderWithoutHoldingTheWriter) {
  start();
  TestSocket socket = connectAndGreet("hello");
  auto client = clients[1];
  // Far more than the socket's buffers hold: the writer returns at once and the rest waits.
  const std::string body(16 * 1024, 'q');
  constexpr int kLines = 48;
  for (int i = 0; i < kLines; ++i) ASSERT_TRUE(client->sendLine(std::to_string(i % 10) + body)) << i;
  const std::size_t lineBytes = body.size() + 2;
  const std::string received = socket.receive(kLines * lineBytes);
  ASSERT_EQ(received.size(), kLines * lineBytes);
  for (int i = 0; i < kLines; ++i) {
    EXPECT_EQ(received[i * lineBytes], '0' + i % 10);
    EXPECT_EQ(received[(i + 1) * lineBytes - 1], '\n');
  }
  EXPECT_FALSE(client->isClosed());
}

TEST_F(UnixSocketServerTest, APeerThatStopsReadingIsClosedOnceItsQueueStaysFull) {
  start();
  TestSocket socket = connectAndGreet("hello");
  auto client = clients[1];
  // The peer reads nothing: the queue fills, the writer is refused instead of held, and past the
  // send time-out the connection goes, as any disconnect.
  const std::string body(64 * 1024, 's');
  int accepted = 0;
  while (accepted < 1000 && client->sendLine(body)) ++accepted;
  EXPECT_GE(static_cast<std::size_t>(accepted) * body.size(), UnixSocketServer::kMaxQueuedSendBytes / 2);
  EXPECT_LT(accepted, 1000);
  ASSERT_TRUE(waitForEvents(2));
  EXPECT_EQ(events.back(), "1:gone");
  EXPECT_TRUE(client->isClosed());
  EXPECT_TRUE(socket.waitForClose());
}

TEST_F(UnixSocketServerTest, ARefusedPeerIsClosedAndItsLaterLinesAreDropped) {
  start();
  TestSocket socket = TestSocket::connectTo(path);
  server->onLine = [this](const std::shared_ptr<Client>& client, const std::string& line) {
    events.push_back(std::to_string(client->number()) + ":" + line);
    client->close();
    EXPECT_FALSE(client->sendLine("{\"cmd\":\"sync\"}"));
  };
  ASSERT_TRUE(socket.send("one\ntwo\nthree\n"));
  ASSERT_TRUE(waitForEvents(2));
  EXPECT_TRUE(socket.waitForClose());
  loop.runUntilIdle();
  EXPECT_EQ(events, (std::vector<std::string>{"1:one", "1:gone"}));
}

// ---- resources ----------------------------------------------------------------------------------

TEST_F(UnixSocketServerTest, RunningOutOfDescriptorsPausesAcceptingInsteadOfSpinning) {
  start();
  // The I/O thread must be serving before the descriptors run out: a thread still starting may
  // need one of its own.
  TestSocket first = connectAndGreet("first");
  TestSocket waiting = TestSocket::unconnected();  // its descriptor is made while there are some
  rlimit original{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &original), 0);
  rlimit lowered = original;
  lowered.rlim_cur = std::min<rlim_t>(original.rlim_cur, openDescriptorCount() + 64);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
  std::vector<int> filler;
  for (int fd; (fd = ::dup(STDERR_FILENO)) >= 0;) filler.push_back(fd);

  const bool connected = waiting.connect(path);
  const bool failed = test::eventually([&] { return server->failedAccepts() >= 1; });
  const bool spun =
      test::eventually([&] { return server->failedAccepts() > 10; }, std::chrono::milliseconds(600));

  for (int fd : filler) ::close(fd);
  ::setrlimit(RLIMIT_NOFILE, &original);
  ASSERT_TRUE(connected);
  EXPECT_TRUE(failed);
  EXPECT_FALSE(spun) << server->failedAccepts() << " accept attempts in 0.6 s";

  // Once descriptors are free again, the waiting connection is served.
  ASSERT_TRUE(waiting.send("finally\n"));
  ASSERT_TRUE(waitForEvents(2));
  EXPECT_EQ(events.back(), "2:finally");
}

TEST_F(UnixSocketServerTest, DestroyingTheServerClosesItsConnectionsAndDropsWhatIsStillOnItsWay) {
  start();
  TestSocket socket = connectAndGreet("hello");
  auto client = clients[1];
  ASSERT_TRUE(socket.send("late line\n"));
  server.reset();
  EXPECT_TRUE(socket.waitForClose());
  EXPECT_TRUE(client->isClosed());
  EXPECT_FALSE(client->sendLine("{\"cmd\":\"sync\"}"));
  loop.runUntilIdle();  // a line already handed over finds no server and does nothing
  EXPECT_EQ(events.front(), "1:hello");
  EXPECT_NE(events.back(), "1:gone");
}

}  // namespace
}  // namespace velvix
