// The application, built as the program builds it but over virtual time, asked to restart itself
// by the set-up window's "Restart Velvix". The relaunch test starts it as a real process: the
// first run records itself and restarts; the run the restart starts records itself and ends.
//
// Usage: velvix_test_relaunch <record file> [arguments...]; VELVIX_HOME names the home folder.
// Each run appends one line to the record file, fields separated by tabs: its process id, its
// arguments (after the record file) joined by "|", VELVIX_RELAUNCH_MARK from its environment,
// the system's Command-Tab hot keys 1 and 2 ("1" on), and, in the restarted run, "gone" when the
// first run's process no longer exists.

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include <unistd.h>

#include "App/VelvixApp.hpp"
#include "Core/Preferences.hpp"
#include "Platform/Linux/ProgramRelauncher.hpp"
#include "Platform/MemoryDefaults.hpp"
#include "Platform/Simulated/SimBackgroundTimers.hpp"
#include "Platform/Simulated/SimDesktop.hpp"
#include "Platform/Simulated/SimMainLoop.hpp"
#include "Platform/Simulated/SimSymbolicHotKeys.hpp"
#include "Support/PermissionsService.hpp"
#include "TestSupport/QtTestApplication.hpp"

namespace {

std::vector<std::string> readLines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string hotKeys(const std::string& home) {
  const auto state =
      velvix::sim::SimSymbolicHotKeys::readStateFile(home + "/.velvix-simulated-desktop/symbolic-hotkeys");
  return std::string(state.at(1) ? "1" : "0") + (state.at(2) ? "1" : "0");
}

}  // namespace

int main(int argc, char** argv) {
  using namespace velvix;
  const char* homeVariable = std::getenv("VELVIX_HOME");
  if (argc < 2 || !homeVariable) {
    std::cerr << "usage: VELVIX_HOME=<folder> velvix_test_relaunch <record file> [arguments...]\n";
    return 2;
  }
  const std::string record = argv[1], home = homeVariable;
  std::string line = std::to_string(::getpid()) + "\t";
  for (int i = 2; i < argc; ++i) line += std::string(i > 2 ? "|" : "") + argv[i];
  const char* mark = std::getenv("VELVIX_RELAUNCH_MARK");
  line += std::string("\t") + (mark ? mark : "");

  const auto earlier = readLines(record);
  if (!earlier.empty()) {  // the restarted run
    const pid_t first = std::stoi(earlier.front().substr(0, earlier.front().find('\t')));
    const bool gone = ::kill(first, 0) != 0;
    std::ofstream(record, std::ios::app)
        << line << "\t" << hotKeys(home) << "\t" << (gone ? "gone" : "alive") << "\n";
    return 0;
  }

  auto relauncher = platform::ProgramRelauncher::forThisProcess(argc, argv, environ);
  test::ensureQtApplication();
  int status = 1;
  {
    sim::SimMainLoop loop;
    sim::SimDesktop desktop{loop, [&loop](double seconds) { loop.spend(seconds); }};
    platform::MemoryDefaults settings;
    sim::SimBackgroundTimers timers{loop};
    VelvixApp app(desktop, {.home = home,
                            .settings = &settings,
                            .backgroundTimers = &timers,
                            .launcher = &relauncher,
                            .selfPid = static_cast<platform::Pid>(::getpid()),
                            .beforeLaunch = [](Services& services) {
                              services.preferences->hasCompletedOnboarding.set(true);
                            }});
    app.onQuit = [&status] { status = 0; };
    app.launch();
    loop.advance(1);
    std::ofstream(record, std::ios::app) << line << "\t" << hotKeys(home) << "\n";
    // What the set-up window's "Restart Velvix" does.
    app.services().permissions->relaunchApp();
  }
  return status;
}
