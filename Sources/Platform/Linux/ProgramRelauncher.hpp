#pragma once
// Starts helper programs for real, and stands for the system's "open the application" in the
// relaunch shell: this program has no bundle to open, so the shell starts this same program again
// with the arguments and environment it was started with, once this process has ended (it waits
// for the real process id too, whatever id the simulated desktop gives the program).

#include <string>
#include <vector>

#include <sys/types.h>

#include "Platform/Launcher.hpp"

namespace velvix::platform {

class ProgramRelauncher final : public Launcher {
 public:
  // `commandLine`: the program (an absolute path) and its arguments; `environment`: "NAME=value"
  // entries, taken before the program changed any of its own.
  ProgramRelauncher(std::vector<std::string> commandLine, std::vector<std::string> environment, pid_t ownPid);
  // This process as it was started: its program from the kernel, `argv`, and `envp`.
  static ProgramRelauncher forThisProcess(int argc, char** argv, char** envp);

  std::optional<std::string> spawn(const std::string& program,
                                   const std::vector<std::string>& arguments) override;
  std::string openApplicationCommand() const override;

  // `text` as one word of a shell command, whatever characters it holds.
  static std::string shellQuoted(const std::string& text);

 private:
  std::vector<std::string> commandLine_;
  std::vector<std::string> environment_;
  pid_t ownPid_;
};

}  // namespace velvix::platform
