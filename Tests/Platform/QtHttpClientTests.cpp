#include <functional>
#include <memory>
#include <optional>

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include "Platform/Qt/QtHttpClient.hpp"
#include "Platform/Qt/QtMainLoop.hpp"
#include "TestSupport/QtTestApplication.hpp"

namespace velvix {
namespace {

using platform::HttpOutcome;
using platform::HttpRequest;
using platform::HttpResponse;

// A tiny HTTP server on the loopback interface. Each connection's request head is read, then the
// test's handler writes whatever answer (or misbehaviour) it wants.
class LoopbackServer {
 public:
  using Handler = std::function<void(QTcpSocket&)>;

  explicit LoopbackServer(Handler handler) : handler_(std::move(handler)) {
    EXPECT_TRUE(server_.listen(QHostAddress::LocalHost, 0));
    QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] {
      while (QTcpSocket* socket = server_.nextPendingConnection()) {
        auto head = std::make_shared<QByteArray>();
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, head] {
          if (head->contains("\r\n\r\n")) return socket->readAll(), void();
          head->append(socket->readAll());
          if (head->contains("\r\n\r\n")) handler_(*socket);
        });
        QObject::connect(socket, &QTcpSocket::disconnected, socket, [this, socket] {
          ++disconnects_;
          socket->deleteLater();
        });
      }
    });
  }

  std::string url(const char* path = "/favicon.ico") const {
    return "http://127.0.0.1:" + std::to_string(server_.serverPort()) + path;
  }
  int disconnects() const { return disconnects_; }

 private:
  QTcpServer server_;
  Handler handler_;
  int disconnects_ = 0;
};

// Turns Qt's event loop until `done` holds or `bound` milliseconds of real time pass.
bool spinUntil(const std::function<bool()>& done, int bound = 10000) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < bound)
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
  return done();
}

QByteArray head(int status, std::optional<qint64> length = std::nullopt) {
  QByteArray text = "HTTP/1.1 " + QByteArray::number(status) + " X\r\nContent-Type: image/x-icon\r\n";
  if (length) text += "Content-Length: " + QByteArray::number(*length) + "\r\n";
  return text + "Connection: close\r\n\r\n";
}

class QtHttpClientTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { test::ensureQtApplication(); }

  std::optional<HttpResponse> fetch(const HttpRequest& request, qint64* elapsedMs = nullptr) {
    std::optional<HttpResponse> answer;
    QElapsedTimer clock;
    clock.start();
    auto task = client.get(request, [&](HttpResponse r) { answer = std::move(r); });
    spinUntil([&] { return answer.has_value(); });
    if (elapsedMs) *elapsedMs = clock.elapsed();
    return answer;
  }

  HttpRequest request(const LoopbackServer& server, std::uint64_t limit = 100 * 1024) {
    HttpRequest r;
    r.url = server.url();
    r.maxBodyBytes = limit;
    return r;
  }

  qt::QtMainLoop loop;
  qt::QtHttpClient client{loop};
};

TEST_F(QtHttpClientTest, DeliversStatusAndWholeBodyOfAnyAnswer) {
  LoopbackServer server([](QTcpSocket& s) {
    s.write(head(404, 9) + "not here!");
    s.disconnectFromHost();
  });
  auto answer = fetch(request(server));
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->outcome, HttpOutcome::completed);
  EXPECT_EQ(answer->status, 404);
  EXPECT_EQ(answer->body, "not here!");
}

TEST_F(QtHttpClientTest, TheTaskMayBeDroppedFromInsideItsCompletion) {
  LoopbackServer server([](QTcpSocket& s) {
    s.write(head(200, 4) + "icon");
    s.disconnectFromHost();
  });
  std::unique_ptr<platform::HttpTask> task;
  std::optional<HttpResponse> answer;
  task = client.get(request(server), [&](HttpResponse r) {
    task.reset();
    answer = std::move(r);
  });
  ASSERT_TRUE(spinUntil([&] { return answer.has_value(); }));
  EXPECT_EQ(answer->body, "icon");
  EXPECT_FALSE(task);
}

TEST_F(QtHttpClientTest, ABodyAtTheLimitArrivesOneByteMoreIsTooLarge) {
  const qint64 limit = 100 * 1024;
  LoopbackServer exact([&](QTcpSocket& s) {
    s.write(head(200) + QByteArray(limit, 'a'));
    s.disconnectFromHost();
  });
  auto fits = fetch(request(exact, limit));
  ASSERT_TRUE(fits);
  EXPECT_EQ(fits->outcome, HttpOutcome::completed);
  EXPECT_EQ(fits->body.size(), static_cast<std::size_t>(limit));

  LoopbackServer over([&](QTcpSocket& s) {
    s.write(head(200) + QByteArray(limit + 1, 'a'));
    s.disconnectFromHost();
  });
  auto tooLarge = fetch(request(over, limit));
  ASSERT_TRUE(tooLarge);
  EXPECT_EQ(tooLarge->outcome, HttpOutcome::tooLarge);
  EXPECT_TRUE(tooLarge->body.empty());
}

TEST_F(QtHttpClientTest, AnEndlessBodyIsAbandonedOnceItPassesTheLimit) {
  // The server keeps writing 64 KiB pieces for as long as the client reads; it never ends.
  qint64 written = 0;
  LoopbackServer server([&](QTcpSocket& s) {
    s.write(head(200));
    auto more = [&s, &written] {
      if (s.bytesToWrite() < 256 * 1024) written += s.write(QByteArray(64 * 1024, 'z'));
    };
    QObject::connect(&s, &QTcpSocket::bytesWritten, &s, more);
    more();
  });
  HttpRequest r = request(server, 2 * 1024 * 1024);
  r.deadline = 30;
  auto answer = fetch(r);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->outcome, HttpOutcome::tooLarge);
  EXPECT_TRUE(spinUntil([&] { return server.disconnects() == 1; }));  // the client hung up
}

TEST_F(QtHttpClientTest, ADeclaredOversizedBodyIsRefusedBeforeItArrives) {
  LoopbackServer server([](QTcpSocket& s) { s.write(head(200, 50 * 1024 * 1024)); });
  HttpRequest r = request(server);
  r.transferTimeout = 20;
  qint64 ms = 0;
  auto answer = fetch(r, &ms);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->outcome, HttpOutcome::tooLarge);
  EXPECT_LT(ms, 20000);
}

TEST_F(QtHttpClientTest, AStalledServerTimesOutAfterTheTransferTimeout) {
  LoopbackServer server([](QTcpSocket& s) { s.write(head(200)); });
  HttpRequest r = request(server);
  r.transferTimeout = 0.3;
  auto answer = fetch(r);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->outcome, HttpOutcome::timedOut);
}

TEST_F(QtHttpClientTest, ATricklingServerIsCutOffAtTheDeadline) {
  // A byte every 50 ms keeps the transfer alive; only the overall deadline can end it.
  std::vector<platform::Timer> drips;
  LoopbackServer server([&](QTcpSocket& s) {
    s.write(head(200));
    // The server deletes the socket once the client hangs up: the drips go with it.
    drips.push_back(loop.every(0.05, [socket = QPointer<QTcpSocket>(&s)] {
      if (socket) socket->write(".");
    }));
  });
  HttpRequest r = request(server);
  r.transferTimeout = 2.0;
  r.deadline = 0.5;
  qint64 ms = 0;
  auto answer = fetch(r, &ms);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->outcome, HttpOutcome::timedOut);
  EXPECT_GE(ms, 450);
}

TEST_F(QtHttpClientTest, ARefusedConnectionIsATransportError) {
  QTcpServer probe;
  ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
  const auto port = probe.serverPort();
  probe.close();
  HttpRequest r;
  r.url = "http://127.0.0.1:" + std::to_string(port) + "/favicon.ico";
  auto answer = fetch(r);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->outcome, HttpOutcome::transportError);
  EXPECT_FALSE(answer->error.empty());
}

TEST_F(QtHttpClientTest, DestroyingTheTaskHangsUpAndNeverAnswers) {
  bool requested = false;
  LoopbackServer server([&](QTcpSocket& s) {
    requested = true;
    s.write(head(200));
  });
  bool answered = false;
  auto task = client.get(request(server), [&](HttpResponse) { answered = true; });
  ASSERT_TRUE(spinUntil([&] { return requested; }));
  task.reset();  // the cell went away
  EXPECT_TRUE(spinUntil([&] { return server.disconnects() == 1; }));
  EXPECT_FALSE(answered);
}

}  // namespace
}  // namespace velvix
