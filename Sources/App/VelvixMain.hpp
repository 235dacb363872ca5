#pragma once
// The program entry: sets the process up, builds the application over the simulated sample
// desktop and hands control to the main loop until the application quits.

namespace velvix {

class VelvixMain {
 public:
  static int main(int argc, char** argv);
  // Ends the running Qt event loop (and every nested one) with status 0, whatever windows are
  // open: no window is asked to close, so none can refuse and keep the process running.
  static void endEventLoop();
};

}  // namespace velvix
