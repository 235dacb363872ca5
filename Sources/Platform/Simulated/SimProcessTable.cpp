#include "Platform/Simulated/SimProcessTable.hpp"

#include <filesystem>

namespace velvix::sim {

void SimProcessTable::end(platform::Pid pid) {
  auto found = processes_.find(pid);
  if (found != processes_.end()) found->second.alive = false;
}

const SimProcessTable::Process* SimProcessTable::live(platform::Pid pid) const {
  auto found = processes_.find(pid);
  return found != processes_.end() && found->second.alive ? &found->second : nullptr;
}

platform::ProcessTable::Probe SimProcessTable::probe(platform::Pid pid) const {
  const Process* process = live(pid);
  if (!process) return Probe::gone;
  return process->otherUser ? Probe::existsOtherUser : Probe::exists;
}

std::optional<platform::Pid> SimProcessTable::parent(platform::Pid pid) const {
  const Process* process = live(pid);
  if (!process) return std::nullopt;
  return process->parent;
}

std::optional<std::string> SimProcessTable::executablePath(platform::Pid pid) const {
  const Process* process = live(pid);
  if (!process || process->otherUser) return std::nullopt;
  return process->executablePath;
}

std::optional<std::string> SimProcessTable::name(platform::Pid pid) const {
  const Process* process = live(pid);
  if (!process) return std::nullopt;
  if (process->name) return process->name;
  if (process->otherUser || !process->executablePath) return std::nullopt;
  return std::filesystem::path(*process->executablePath).filename().string();
}

std::vector<platform::Pid> SimProcessTable::allPids() const {
  std::vector<platform::Pid> pids;
  for (const auto& [pid, process] : processes_)
    if (process.alive) pids.push_back(pid);
  return pids;
}

}  // namespace velvix::sim
