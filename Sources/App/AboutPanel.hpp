#pragma once
// The About panel as a person sees it: a dialog on the simulated screen naming the program and its
// version, one of the program's ordinary windows there (a click makes it key). Its window on the
// simulated desktop goes with it: closing the dialog closes that window, so neither the screen nor
// the switcher keeps a panel nobody sees.

namespace velvix::platform {
class MainLoop;
class ScreenPlacement;
}  // namespace velvix::platform

namespace velvix::sim {
class SimApplication;
}

namespace velvix {

class AboutPanel {
 public:
  static constexpr const char* kDescription = "A keyboard application switcher.";
  // From now on the application's About panel appears through `placement` (composed inside the
  // desktop view when it is one; a window of its own without a placement), following its window
  // on `loop`'s clock.
  static void attach(sim::SimApplication& application, platform::ScreenPlacement* placement,
                     platform::MainLoop& loop);
};

}  // namespace velvix
