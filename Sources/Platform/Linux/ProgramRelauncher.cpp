#include "Platform/Linux/ProgramRelauncher.hpp"

#include <csignal>
#include <cstring>
#include <filesystem>

#include <spawn.h>
#include <unistd.h>

namespace velvix::platform {

ProgramRelauncher::ProgramRelauncher(std::vector<std::string> commandLine,
                                     std::vector<std::string> environment, pid_t ownPid)
    : commandLine_(std::move(commandLine)), environment_(std::move(environment)), ownPid_(ownPid) {}

ProgramRelauncher ProgramRelauncher::forThisProcess(int argc, char** argv, char** envp) {
  std::vector<std::string> commandLine;
  std::error_code error;
  // The program's own file, wherever it was started from and whatever the working folder becomes.
  const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
  commandLine.push_back(!error ? self.string() : (argc > 0 ? argv[0] : "velvix"));
  for (int i = 1; i < argc; ++i) commandLine.emplace_back(argv[i]);
  std::vector<std::string> environment;
  for (char** entry = envp; entry && *entry; ++entry) environment.emplace_back(*entry);
  return ProgramRelauncher(std::move(commandLine), std::move(environment), ::getpid());
}

std::optional<std::string> ProgramRelauncher::spawn(const std::string& program,
                                                    const std::vector<std::string>& arguments) {
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (const auto& entry : environment_) envp.push_back(const_cast<char*>(entry.c_str()));
  envp.push_back(nullptr);
  // Only standard input, output and error go along: the helper outlives this process and must
  // hold none of its files, sockets or locks open.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  // Nor this process's signal handling: blocked and ignored signals would outlive the exec.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t child = 0;
  const int failed = ::posix_spawn(&child, program.c_str(), &actions, &attributes, argv.data(), envp.data());
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) return std::string(std::strerror(failed));
  return std::nullopt;
}

std::string ProgramRelauncher::openApplicationCommand() const {
  // A shell function that ignores the bundle path it is given: it waits for this process to be
  // gone, then becomes the program, started as before.
  std::string command = "velvix_relaunch() { while /bin/kill -0 " + std::to_string(ownPid_) +
                        " 2>/dev/null; do /bin/sleep 0.2; done; exec";
  for (const auto& word : commandLine_) command += " " + shellQuoted(word);
  return command + "; }; velvix_relaunch";
}

std::string ProgramRelauncher::shellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace velvix::platform
