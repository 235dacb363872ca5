#include <filesystem>
#include <thread>

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include "TestSupport/ChildProcess.hpp"
#include "TestSupport/TempFolder.hpp"
#include "TestSupport/TestSocket.hpp"
#include "VelvixChromeHost/Shared/HostChannel.hpp"
#include "VelvixChromeHost/Shared/NativeFraming.hpp"
#include "VelvixChromeHost/Shared/SocketAddress.hpp"

namespace velvix {
namespace {

using test::ChildProcess;
using test::TestSocket;
using namespace std::chrono_literals;

const std::string kRelay = std::string(VELVIX_BINARY_DIR) + "/velvix_chrome_host";

std::string header(std::uint32_t length) {
  std::string bytes(nativeframing::kHeaderBytes, '\0');
  nativeframing::writeHeader(length, bytes.data());
  return bytes;
}

// The relay started as a browser starts it, against a listening socket that plays the application.
class ChromeHostRelayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(std::filesystem::path(socketPath).parent_path());
    listener = TestSocket::listenAt(socketPath);
    ASSERT_TRUE(listener.isOpen());
  }

  void startRelay() {
    relay = std::make_unique<ChildProcess>(kRelay, std::vector<std::string>{},
                                           std::map<std::string, std::string>{{"VELVIX_HOME", home.path()}});
    application = listener.acceptOne();
    ASSERT_TRUE(application.isOpen()) << "the relay did not connect";
  }

  // Reads one frame the relay wrote to the browser.
  std::string readFrame() {
    const std::string head = relay->read(nativeframing::kHeaderBytes);
    if (head.size() != nativeframing::kHeaderBytes) return "<no frame>";
    return relay->read(nativeframing::readHeader(head.data()));
  }

  test::TempFolder home;
  std::string socketPath = hostchannel::socketPath(home.path().string());
  TestSocket listener;
  TestSocket application;
  std::unique_ptr<ChildProcess> relay;
};

// ---- browser to application ---------------------------------------------------------------------

TEST_F(ChromeHostRelayTest, EveryFrameBecomesOneLineWhateverItHolds) {
  startRelay();
  const std::vector<std::string> payloads = {
      "{\"browser\":\"chrome\",\"event\":\"hello\"}",
      "",                          // an empty frame is an empty line, which the application skips
      "{\"title\":\"\xC3\x28\"}",  // not UTF-8: carried unchanged, judged by the application
      "not json at all",
      "{\n  \"pretty\": true\n}",  // a line feed would split the message: it travels as a space
  };
  std::string expected;
  for (const auto& payload : payloads) {
    ASSERT_TRUE(relay->write(nativeframing::frame(payload)));
    std::string line = payload;
    std::replace(line.begin(), line.end(), '\n', ' ');
    expected += line + "\n";
  }
  // The length is read in native byte order: 05 00 00 00 announces five bytes.
  ASSERT_TRUE(relay->write(std::string("\x05\x00\x00\x00hello", 9)));
  expected += "hello\n";

  EXPECT_EQ(application.receive(expected.size()), expected);
  EXPECT_TRUE(relay->isRunning());
  EXPECT_FALSE(relay->waitForExit(0ms));
}

TEST_F(ChromeHostRelayTest, AFrameOfFourMebibytesIsCarriedAndALargerOneEndsTheRelay) {
  startRelay();
  const std::string largest(hostchannel::kMaxFrameBytes, 'x');
  std::thread browser([&] {
    relay->write(header(hostchannel::kMaxFrameBytes) + largest);
    relay->write(header(hostchannel::kMaxFrameBytes + 1) + "not read");
  });
  const std::string line = application.receive(largest.size() + 1);
  browser.join();
  EXPECT_EQ(line.size(), largest.size() + 1);
  EXPECT_EQ(line.back(), '\n');
  EXPECT_EQ(relay->waitForExit(), 0);
  EXPECT_TRUE(application.receive(1).empty());
}

TEST_F(ChromeHostRelayTest, InputEndingInsideAFrameEndsTheRelayWithoutForwardingIt) {
  startRelay();
  ASSERT_TRUE(relay->write(nativeframing::frame("{\"whole\":1}")));
  ASSERT_TRUE(relay->write(header(20) + "{\"half"));
  relay->closeInput();
  EXPECT_EQ(relay->waitForExit(), 0);
  EXPECT_EQ(application.receive(100), "{\"whole\":1}\n");

  // Two bytes of a length are not a frame either.
  startRelay();
  ASSERT_TRUE(relay->write(std::string("\x07\x00", 2)));
  relay->closeInput();
  EXPECT_EQ(relay->waitForExit(), 0);
  EXPECT_TRUE(application.receive(1).empty());
}

// ---- application to browser ---------------------------------------------------------------------

TEST_F(ChromeHostRelayTest, LinesBecomeFramesAndBlankLinesNothing) {
  startRelay();
  ASSERT_TRUE(application.send("  {\"a\":1}\r\n\n\t\n{\"b\":2}"));
  EXPECT_EQ(readFrame(), "{\"a\":1}");
  EXPECT_TRUE(relay->read(1, 100ms).empty()) << "a frame before its line ended";
  ASSERT_TRUE(application.send("\n"));
  EXPECT_EQ(readFrame(), "{\"b\":2}");
}

TEST_F(ChromeHostRelayTest, ALineLongerThanManyReadsAndManyLinesInOneReadEachBecomeOneFrame) {
  startRelay();
  const std::string big(3 * 1024 * 1024 + 17, 'x');
  std::string many;
  for (int i = 0; i < 500; ++i) many += "{\"n\":" + std::to_string(i) + "}\n";
  std::thread sender([&] { application.send(big + "\n" + many); });
  EXPECT_EQ(readFrame(), big);
  for (int i = 0; i < 500; ++i) EXPECT_EQ(readFrame(), "{\"n\":" + std::to_string(i) + "}");
  sender.join();
}

TEST_F(ChromeHostRelayTest, TheApplicationClosingEndsTheRelayEvenWhileTheBrowserSends) {
  startRelay();
  std::atomic<bool> sending{true};
  std::thread browser([&] {
    while (sending && relay->write(nativeframing::frame("{\"event\":\"updated\"}"))) {
    }
  });
  application.close();
  const auto status = relay->waitForExit();
  sending = false;
  browser.join();
  EXPECT_EQ(status, 0);
}

TEST_F(ChromeHostRelayTest, TheBrowserGoingEndsTheRelayWhileTheApplicationTakesNothing) {
  startRelay();
  // The application stops reading: the relay's line waits on a full socket.
  ASSERT_TRUE(relay->write(nativeframing::frame(std::string(3 * 1024 * 1024, 'x'))));
  relay->closeInput();
  EXPECT_EQ(relay->waitForExit(), 0);
}

// ---- finding the application --------------------------------------------------------------------

TEST_F(ChromeHostRelayTest, AnApplicationThatTakesNoConnectionEndsTheRelayWithStatusOne) {
  // A stopped application: its listen queue is full and it accepts nothing.
  listener.close();
  std::filesystem::remove(socketPath);
  TestSocket stopped(::socket(AF_UNIX, SOCK_STREAM, 0));
  auto address = hostchannel::SocketAddress::make(socketPath);
  ASSERT_TRUE(address);
  ASSERT_EQ(::bind(stopped.fd(), address->get(), address->size()), 0);
  ASSERT_EQ(::listen(stopped.fd(), 0), 0);
  std::vector<TestSocket> queued;
  for (;;) {
    TestSocket socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0));
    if (::connect(socket.fd(), address->get(), address->size()) != 0) break;
    queued.push_back(std::move(socket));
  }
  ChildProcess waiting(kRelay, {}, {{"VELVIX_HOME", home.path()}});
  waiting.closeInput();
  EXPECT_EQ(waiting.waitForExit(), 1);
}

TEST_F(ChromeHostRelayTest, WithoutTheApplicationTheRelayEndsAtOnceWithStatusOne) {
  listener.close();  // a socket file that nobody listens on
  ChildProcess refused(kRelay, {}, {{"VELVIX_HOME", home.path()}});
  EXPECT_EQ(refused.waitForExit(), 1);
  EXPECT_TRUE(refused.read(1).empty());

  std::filesystem::remove(socketPath);  // no socket at all
  ChildProcess missing(kRelay, {}, {{"VELVIX_HOME", home.path()}});
  EXPECT_EQ(missing.waitForExit(), 1);
}

TEST_F(ChromeHostRelayTest, AHomeFolderOfAnyLengthIsReached) {
  const auto deepHome = home.path() / std::string(160, 'h');
  const std::string deepSocket = hostchannel::socketPath(deepHome.string());
  std::filesystem::create_directories(std::filesystem::path(deepSocket).parent_path());
  TestSocket deepListener = TestSocket::listenAt(deepSocket);
  ASSERT_TRUE(deepListener.isOpen());
  ChildProcess deepRelay(kRelay, {}, {{"VELVIX_HOME", deepHome.string()}});
  EXPECT_TRUE(deepListener.acceptOne().isOpen());
}

TEST_F(ChromeHostRelayTest, WithoutVelvixHomeTheUsersHomeFolderIsUsed) {
  relay = std::make_unique<ChildProcess>(
      kRelay, std::vector<std::string>{},
      std::map<std::string, std::string>{{"VELVIX_HOME", ""}, {"HOME", home.path()}});
  EXPECT_TRUE(listener.acceptOne().isOpen());
}

}  // namespace
}  // namespace velvix
