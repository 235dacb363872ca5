#include "TimedWindowServer.hpp"

#include "LatencySamples.hpp"

namespace velvix::bench {
namespace {

template <typename Call>
auto timed(std::int64_t& spent, Call call) {
  const auto start = LatencySamples::Clock::now();
  auto result = call();
  spent += LatencySamples::since(start);
  return result;
}

}  // namespace

std::optional<std::vector<nlohmann::json>> TimedWindowServer::windowList(std::uint32_t options) const {
  ++listReads_;
  return timed(spent_, [&] { return inner_.windowList(options); });
}

std::optional<nlohmann::json> TimedWindowServer::managedDisplaySpaces(int connection) const {
  return timed(spent_, [&] { return inner_.managedDisplaySpaces(connection); });
}

std::optional<nlohmann::json> TimedWindowServer::spacesForWindows(int connection, std::uint32_t mask,
                                                                  const std::vector<std::int64_t>& numbers) const {
  return timed(spent_, [&] { return inner_.spacesForWindows(connection, mask, numbers); });
}

}  // namespace velvix::bench
