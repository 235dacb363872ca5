#include "Platform/Qt/QtHttpClient.hpp"

#include <algorithm>

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QUrl>

#include "Platform/MainLoop.hpp"

namespace velvix::qt {

using platform::HttpOutcome;
using platform::HttpResponse;

namespace {

constexpr qint64 kReadBufferBytes = 64 * 1024;  // what Qt may buffer ahead of us
constexpr int kMaxRedirects = 5;

// Errors that Qt reports for a complete HTTP answer with an error status (404, 500, ...): the
// answer itself is what the caller judges.
bool isHttpStatusError(QNetworkReply::NetworkError error) {
  const int code = static_cast<int>(error);
  return (code >= 201 && code <= 299) || (code >= 401 && code <= 499);
}

}  // namespace

struct QtHttpClient::Impl {
  explicit Impl(platform::MainLoop& l) : loop(l) {}
  platform::MainLoop& loop;
  QNetworkAccessManager manager;
};

class QtHttpClient::Download final : public platform::HttpTask {
 public:
  Download(Impl& impl, const platform::HttpRequest& request, std::function<void(HttpResponse)> completion)
      : loop_(impl.loop), request_(request), completion_(std::move(completion)) {
    QNetworkRequest q(QUrl(QString::fromStdString(request.url)));
    q.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    q.setMaximumRedirectsAllowed(kMaxRedirects);
    q.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    q.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    q.setAttribute(QNetworkRequest::AuthenticationReuseAttribute, QNetworkRequest::Manual);
    q.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    q.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    q.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Velvix/1.0"));
    reply_ = impl.manager.get(q);
    reply_->setReadBufferSize(kReadBufferBytes);
    QObject::connect(reply_, &QNetworkReply::metaDataChanged, &context_, [this] { onHead(); });
    QObject::connect(reply_, &QNetworkReply::readyRead, &context_, [this] { onBody(); });
    QObject::connect(reply_, &QNetworkReply::finished, &context_, [this] { onFinished(); });
    // Both clocks run on the main loop, so a server that trickles or stalls cannot hold a request.
    deadline_ = loop_.after(request.deadline, [this] { finish(HttpOutcome::timedOut, "deadline passed"); });
    touch();
  }

  ~Download() override {
    completion_ = nullptr;
    release();
  }

 private:
  void touch() {
    idle_ = loop_.after(request_.transferTimeout, [this] { finish(HttpOutcome::timedOut, "no progress"); });
  }

  void onHead() {
    touch();
    const QVariant length = reply_->header(QNetworkRequest::ContentLengthHeader);
    bool known = false;
    const qulonglong declared = length.toULongLong(&known);
    if (known && declared > request_.maxBodyBytes && isRedirectFree())
      finish(HttpOutcome::tooLarge, "declared body passes the size limit");
  }

  // A redirect's head carries the redirect's own length, not the final body's.
  bool isRedirectFree() const {
    const int status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    return status < 300 || status >= 400;
  }

  void onBody() {
    touch();
    readAvailable();
  }

  // Takes in at most one byte past the limit: enough to know the body is too large, never more.
  bool readAvailable() {
    while (reply_ && reply_->bytesAvailable() > 0) {
      const qint64 room = static_cast<qint64>(request_.maxBodyBytes) + 1 - static_cast<qint64>(body_.size());
      const QByteArray piece = reply_->read(std::min<qint64>(room, kReadBufferBytes));
      if (piece.isEmpty()) break;
      body_.append(piece.constData(), static_cast<std::size_t>(piece.size()));
      if (body_.size() > request_.maxBodyBytes) {
        finish(HttpOutcome::tooLarge, "body passed the size limit");
        return false;
      }
    }
    return true;
  }

  void onFinished() {
    if (!reply_ || !readAvailable()) return;
    const auto error = reply_->error();
    const QVariant status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && (error == QNetworkReply::NoError || isHttpStatusError(error))) {
      HttpResponse response;
      response.outcome = HttpOutcome::completed;
      response.status = status.toInt();
      response.body = std::move(body_);
      return deliver(std::move(response));
    }
    if (error == QNetworkReply::NoError) return finish(HttpOutcome::completed, {});  // not an HTTP answer
    const bool timedOut =
        error == QNetworkReply::TimeoutError || error == QNetworkReply::OperationCanceledError;
    finish(timedOut ? HttpOutcome::timedOut : HttpOutcome::transportError,
           reply_->errorString().toStdString());
  }

  void finish(HttpOutcome outcome, std::string error) {
    HttpResponse response;
    response.outcome = outcome;
    response.error = std::move(error);
    deliver(std::move(response));
  }

  void deliver(HttpResponse response) {
    release();
    body_.clear();
    body_.shrink_to_fit();
    auto done = std::move(completion_);
    completion_ = nullptr;
    if (done) done(std::move(response));  // may destroy this task; nothing touches it afterwards
  }

  // Stops the timers and lets go of the reply, aborting it when it is still running.
  void release() {
    deadline_.invalidate();
    idle_.invalidate();
    if (QNetworkReply* reply = reply_.data()) {
      reply_ = nullptr;
      // Only our own connections: the reply's internal ones carry the abort to the connection.
      QObject::disconnect(reply, nullptr, &context_, nullptr);
      if (reply->isRunning()) reply->abort();
      reply->deleteLater();
    }
  }

  platform::MainLoop& loop_;
  platform::HttpRequest request_;
  std::function<void(HttpResponse)> completion_;
  QObject context_;  // receiver of our connections to the reply
  QPointer<QNetworkReply> reply_;
  std::string body_;
  platform::Timer deadline_, idle_;
};

QtHttpClient::QtHttpClient(platform::MainLoop& loop) : impl_(std::make_unique<Impl>(loop)) {}
QtHttpClient::~QtHttpClient() = default;

std::unique_ptr<platform::HttpTask> QtHttpClient::get(const platform::HttpRequest& request,
                                                      std::function<void(HttpResponse)> completion) {
  return std::make_unique<Download>(*impl_, request, std::move(completion));
}

}  // namespace velvix::qt
