#pragma once
// Shows the application's alerts to the person at the screen: real dialogs over the simulated
// desktop window, modal ones answered before the call returns, floating ones answered later.

class QWidget;

namespace velvix {
namespace sim {
class SimApplication;
}

struct AlertDialogs {
  // From now on the application's alerts appear as dialogs over `parent`.
  static void attach(sim::SimApplication& application, QWidget* parent);
};

}  // namespace velvix
