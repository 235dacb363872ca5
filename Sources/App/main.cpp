#include "App/VelvixMain.hpp"

int main(int argc, char** argv) {
  return velvix::VelvixMain::main(argc, argv);
}
