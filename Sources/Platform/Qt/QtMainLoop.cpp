#include "Platform/Qt/QtMainLoop.hpp"

#include <chrono>
#include <cmath>
#include <ctime>

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QThread>
#include <QTimer>

namespace velvix::qt {

using platform::Timer;
using platform::TimerMode;
using platform::TimerState;

namespace {
constexpr double kCoalescedFrom = 0.5;

int toMilliseconds(double seconds) {
  return static_cast<int>(std::lround(std::max(0.0, seconds) * 1000.0));
}
}  // namespace

namespace {
// Seconds since boot, counting suspended time too, so that a day asleep still moves "now" on by
// a day.
double bootSeconds() {
  timespec t{};
  ::clock_gettime(CLOCK_BOOTTIME, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double systemWallClock() {
  using namespace std::chrono;
  return duration<double>(system_clock::now().time_since_epoch()).count();
}
}  // namespace

QtMainLoop::QtMainLoop(const std::function<double()>& wallClock)
    : context_(std::make_unique<QObject>()),
      wallAtStart_(wallClock ? wallClock() : systemWallClock()),
      bootAtStart_(bootSeconds()) {}
QtMainLoop::~QtMainLoop() = default;

void QtMainLoop::post(std::function<void()> fn) {
  if (stopped_) return;
  QMetaObject::invokeMethod(
      context_.get(),
      [this, fn = std::move(fn)] {
        if (!stopped_) fn();
      },
      Qt::QueuedConnection);
}

void QtMainLoop::postAfter(double seconds, std::function<void()> fn) {
  if (!isMainThread()) {
    post([this, seconds, fn = std::move(fn)]() mutable { postAfter(seconds, std::move(fn)); });
    return;
  }
  QTimer::singleShot(toMilliseconds(seconds), Qt::PreciseTimer, context_.get(), [this, fn = std::move(fn)] {
    if (!stopped_) fn();
  });
}

Timer QtMainLoop::after(double seconds, std::function<void()> fn, TimerMode mode) {
  return schedule(seconds, false, std::move(fn), mode);
}

Timer QtMainLoop::every(double seconds, std::function<void()> fn, TimerMode mode) {
  return schedule(seconds, true, std::move(fn), mode);
}

// Qt has no run-loop modes: menus and dialogs run nested event loops that keep every timer
// firing, which is what Common mode asks for and harmless for Default timers.
Timer QtMainLoop::schedule(double seconds, bool repeating, std::function<void()> fn, TimerMode mode) {
  auto state = std::make_shared<TimerState>();
  state->fire = std::move(fn);
  state->interval = repeating ? seconds : 0;
  state->mode = mode;
  auto* timer = new QTimer(context_.get());
  // Polls of half a second and more may come a little late (a twentieth of their interval), so
  // that the display server's loop wakes once for all of those due about the same time instead
  // of once for each: a quiet program wakes a few times a second, not a dozen.
  timer->setTimerType(repeating && seconds >= kCoalescedFrom ? Qt::CoarseTimer : Qt::PreciseTimer);
  timer->setSingleShot(!repeating);
  QObject::connect(timer, &QTimer::timeout, timer, [this, timer, state] {
    if (!state->valid || stopped_) {
      timer->stop();
      timer->deleteLater();
      return;
    }
    if (state->interval <= 0) state->valid = false;
    auto fire = state->fire;
    fire();
    if (!state->valid) {
      timer->stop();
      timer->deleteLater();
    }
  });
  timer->start(toMilliseconds(seconds));
  return Timer(state);
}

void QtMainLoop::runFor(double seconds) {
  QEventLoop loop;
  QTimer::singleShot(toMilliseconds(seconds), Qt::PreciseTimer, &loop, &QEventLoop::quit);
  loop.exec();
}

bool QtMainLoop::isMainThread() const {
  return QThread::currentThread() == context_->thread();
}

double QtMainLoop::now() const {
  return wallAtStart_ + (bootSeconds() - bootAtStart_);
}

double QtMainLoop::uptime() const {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace velvix::qt
