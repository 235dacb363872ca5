#pragma once
// Shows the application's alerts to the person at the screen, composed on the simulated screen of
// the window onto the desktop: one alert at a time, in front of every window (the switcher and
// the Dock's cards stay above it), and the only thing that takes Return while it waits. Modal
// alerts are answered before the call returns (one asked while a floating alert waits goes in
// front of it until answered); floating ones are answered later, in the order they were asked.

namespace velvix {
namespace sim {
class SimApplication;
}
namespace qt {
class SimDesktopView;
}

struct AlertDialogs {
  // From now on the application's alerts appear on `view`'s screen (they go with it).
  static void attach(sim::SimApplication& application, qt::SimDesktopView& view);
};

}  // namespace velvix
