#pragma once
// The About panel as a person sees it: a dialog over the simulated desktop window naming the
// program and its version. Its window on the simulated desktop goes with it: closing the dialog
// closes that window, so neither the screen nor the switcher keeps a panel nobody sees.

class QWidget;

namespace velvix::sim {
class SimApplication;
}

namespace velvix {

class AboutPanel {
 public:
  static constexpr const char* kDescription = "A keyboard application switcher.";
  static void attach(sim::SimApplication& application, QWidget* parent);
};

}  // namespace velvix
