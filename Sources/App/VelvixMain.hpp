#pragma once
// The program entry: sets the process up, builds the application over the simulated sample
// desktop and hands control to the main loop until the application quits.

namespace velvix {

class VelvixMain {
 public:
  static int main(int argc, char** argv);
};

}  // namespace velvix
