#include "Platform/Linux/LinuxProcessTable.hpp"

#include <cerrno>
#include <charconv>
#include <climits>
#include <csignal>
#include <filesystem>

#include <unistd.h>

#include "Platform/Linux/Files.hpp"
#include "Platform/Linux/LinuxApplications.hpp"

namespace velvix::platform {
namespace {

std::string procPath(Pid pid, const char* entry) {
  return "/proc/" + std::to_string(pid) + "/" + entry;
}

}  // namespace

ProcessTable::Probe LinuxProcessTable::probe(Pid pid) const {
  // 0 and negative numbers name process groups to kill(), never one process.
  if (pid < 1) return Probe::gone;
  if (::kill(pid, 0) == 0) return Probe::exists;
  return errno == EPERM ? Probe::existsOtherUser : Probe::gone;
}

std::optional<Pid> LinuxProcessTable::parent(Pid pid) const {
  if (pid < 1) return std::nullopt;
  // "<pid> (<command>) <state> <parent> ...": the command may hold spaces and parentheses of its
  // own, so the fields are counted from the last closing parenthesis.
  const auto stat = files::readAll(procPath(pid, "stat"));
  if (!stat) return std::nullopt;
  const auto close = stat->rfind(')');
  if (close == std::string::npos || close + 4 >= stat->size()) return std::nullopt;
  const char* cursor = stat->data() + close + 1;
  const char* end = stat->data() + stat->size();
  if (*cursor++ != ' ') return std::nullopt;
  ++cursor;  // the state letter
  if (cursor >= end || *cursor++ != ' ') return std::nullopt;
  Pid parent = 0;
  if (std::from_chars(cursor, end, parent).ec != std::errc()) return std::nullopt;
  return parent;
}

std::optional<std::string> LinuxProcessTable::executablePath(Pid pid) const {
  if (pid < 1) return std::nullopt;
  std::string path(PATH_MAX, '\0');
  const ssize_t size = ::readlink(procPath(pid, "exe").c_str(), path.data(), path.size());
  if (size <= 0 || static_cast<std::size_t>(size) >= path.size()) return std::nullopt;
  path.resize(static_cast<std::size_t>(size));
  return path;
}

std::optional<std::string> LinuxProcessTable::name(Pid pid) const {
  if (pid < 1) return std::nullopt;
  // The kernel's own copy of the command name (at most 15 bytes), as ps shows it.
  auto comm = files::readAll(procPath(pid, "comm"));
  if (!comm) return std::nullopt;
  if (!comm->empty() && comm->back() == '\n') comm->pop_back();
  if (comm->empty()) return std::nullopt;
  return comm;
}

std::vector<Pid> LinuxProcessTable::allPids() const {
  std::vector<Pid> pids;
  std::error_code error;
  for (std::filesystem::directory_iterator it("/proc", error), end; !error && it != end;
       it.increment(error)) {
    const std::string entry = it->path().filename().string();
    Pid pid = 0;
    auto [rest, ec] = std::from_chars(entry.data(), entry.data() + entry.size(), pid);
    if (ec == std::errc() && rest == entry.data() + entry.size() && pid > 0) pids.push_back(pid);
  }
  return pids;
}

std::optional<std::string> LinuxProcessTable::bundleIdentifier(Pid pid) const {
  const auto executable = executablePath(pid);
  if (!executable) return std::nullopt;
  return LinuxApplications::bundleIdentifier(*executable);
}

}  // namespace velvix::platform
