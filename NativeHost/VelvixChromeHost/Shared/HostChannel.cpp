#include "VelvixChromeHost/Shared/HostChannel.hpp"

#include <cstdlib>

#include <pwd.h>
#include <unistd.h>

namespace velvix::hostchannel {

std::string socketPath(std::string_view home) {
  std::string path(home);
  if (path.empty() || path.back() != '/') path += '/';
  path += kSocketRelativePath;
  return path;
}

std::string homeFolder() {
  for (const char* name : {"VELVIX_HOME", "HOME"})
    if (const char* home = std::getenv(name); home && *home) return home;
  if (const passwd* account = ::getpwuid(::getuid()); account && account->pw_dir) return account->pw_dir;
  return {};
}

}  // namespace velvix::hostchannel
