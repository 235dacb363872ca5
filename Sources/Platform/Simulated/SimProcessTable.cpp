#include "Platform/Simulated/SimProcessTable.hpp"

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

}  // namespace velvix::sim
