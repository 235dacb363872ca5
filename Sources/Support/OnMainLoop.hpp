#pragma once
// Wraps a completion that the platform may call on any thread so that it runs on the main loop,
// and only while its owner (watched through an AliveToken) still exists.

#include <functional>
#include <tuple>

#include "Platform/MainLoop.hpp"
#include "Support/AliveToken.hpp"

namespace velvix {

template <typename... Args, typename F>
std::function<void(Args...)> onMainLoop(platform::MainLoop& loop, AliveToken::Watch watch, F fn) {
  return [&loop, watch, fn = std::move(fn)](Args... args) {
    loop.post([watch, fn, arguments = std::make_tuple(std::move(args)...)]() mutable {
      if (!watch.expired()) std::apply(fn, std::move(arguments));
    });
  };
}

}  // namespace velvix
