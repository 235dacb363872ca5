#include "TimedAccessibility.hpp"

#include "LatencySamples.hpp"

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#define VELVIX_BENCH_TICKS 1
#endif

namespace velvix::bench {

using platform::AXElement;
using platform::AXError;
using platform::AXValue;

namespace {

// A chord asks Accessibility over a hundred short questions, each timed. Two reads of the
// monotonic clock cost about 50 ns, and half of that lands outside the bracket, in Velvix's
// figure: nearly as much as the stand-in's answers take. The processor's time-stamp counter is
// read in about 10 ns; its ticks are converted to the monotonic clock's nanoseconds by a factor
// measured once.
#ifdef VELVIX_BENCH_TICKS
std::int64_t ticks() {
  return static_cast<std::int64_t>(__rdtsc());
}

double nanosecondsPerTick() {
  static const double factor = [] {
    const auto wallStart = LatencySamples::wallNow();
    const auto tickStart = ticks();
    while (LatencySamples::wallNow() - wallStart < 5'000'000) {
    }
    const auto tickSpan = ticks() - tickStart;
    const auto wallSpan = LatencySamples::wallNow() - wallStart;
    return tickSpan > 0 ? static_cast<double>(wallSpan) / static_cast<double>(tickSpan) : 1.0;
  }();
  return factor;
}
#else
std::int64_t ticks() {
  return LatencySamples::wallNow();
}
double nanosecondsPerTick() {
  return 1.0;
}
#endif

}  // namespace

TimedAccessibility::TimedAccessibility(platform::Accessibility& inner) : inner_(inner) {
  nanosecondsPerTick();
}

std::int64_t TimedAccessibility::spentWall() const {
  return static_cast<std::int64_t>(static_cast<double>(spentTicks_) * nanosecondsPerTick());
}

template <typename Call>
auto TimedAccessibility::timed(Call call) const {
  const auto start = ticks();
  auto result = call();
  spentTicks_ += ticks() - start;
  return result;
}

bool TimedAccessibility::isProcessTrusted() const {
  return timed([&] { return inner_.isProcessTrusted(); });
}

AXElement TimedAccessibility::applicationElement(platform::Pid pid) {
  return timed([&] { return inner_.applicationElement(pid); });
}

AXError TimedAccessibility::setMessagingTimeout(AXElement element, double seconds) {
  return timed([&] { return inner_.setMessagingTimeout(element, seconds); });
}

AXError TimedAccessibility::copyAttribute(AXElement element, const std::string& attribute, AXValue& value) {
  return timed([&] { return inner_.copyAttribute(element, attribute, value); });
}

AXError TimedAccessibility::setAttribute(AXElement element, const std::string& attribute,
                                         const AXValue& value) {
  return timed([&] { return inner_.setAttribute(element, attribute, value); });
}

AXError TimedAccessibility::copyParameterizedAttribute(AXElement element, const std::string& attribute,
                                                       const AXValue& parameter, AXValue& value) {
  return timed([&] { return inner_.copyParameterizedAttribute(element, attribute, parameter, value); });
}

AXError TimedAccessibility::performAction(AXElement element, const std::string& action) {
  return timed([&] { return inner_.performAction(element, action); });
}

AXError TimedAccessibility::windowNumber(AXElement element, std::int64_t& number) {
  return timed([&] { return inner_.windowNumber(element, number); });
}

AXError TimedAccessibility::elementAtPosition(AXElement application, float x, float y, AXElement& element) {
  return timed([&] { return inner_.elementAtPosition(application, x, y, element); });
}

}  // namespace velvix::bench
