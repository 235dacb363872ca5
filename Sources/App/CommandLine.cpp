#include "App/CommandLine.hpp"

namespace velvix {

CommandLine::Request CommandLine::parse(const std::vector<std::string>& words) {
  if (words.empty()) return Request::Run;
  if (words.size() == 1 && (words[0] == "--help" || words[0] == "-h")) return Request::Help;
  if (words.size() == 1 && words[0] == "--version") return Request::Version;
  return Request::Misuse;
}

std::string CommandLine::usage() {
  return "usage: velvix [--help | --version]\n"
         "\n"
         "Runs the Velvix application switcher over a simulated Mac desktop, shown in the\n"
         "\"Simulated desktop\" window. Control stands for Command: hold Control and tap Tab.\n"
         "Quit by closing the window, with Ctrl-C, or with kill <pid>.\n"
         "\n"
         "Environment:\n"
         "  VELVIX_HOME            the home folder to use instead of $HOME (settings, logs, and the\n"
         "                         ~/.zshrc and editor files it may change with your consent)\n"
         "  VELVIX_SAMPLE_DESKTOP  a JSON file describing the simulated desktop to use instead of\n"
         "                         the built-in sample\n"
         "  DISPLAY                the X display to open the window on; without one it runs\n"
         "                         without a window\n";
}

std::string CommandLine::runningWithoutWindow(long pid) {
  const std::string id = std::to_string(pid);
  return "velvix: no display to open a window on, so it runs without one (pid " + id +
         "); stop it with Ctrl-C or kill " + id + "\n";
}

std::string CommandLine::displayUnreachable(const std::string& display) {
  return "velvix: cannot open the display \"" + display +
         "\"; start an X server there, or unset DISPLAY to run without a window\n";
}

}  // namespace velvix
