#include "Platform/Linux/LinuxApplications.hpp"

#include <array>
#include <utility>

namespace velvix::platform::LinuxApplications {
namespace {

// Where the distributions' and vendors' packages put each browser's own program (the one that
// starts native-messaging hosts; the commands on the path are wrapper scripts that exec it).
constexpr std::array<std::pair<std::string_view, std::string_view>, 6> kPrograms{{
    {"/usr/lib/chromium/chromium", "org.chromium.Chromium"},
    {"/usr/lib64/chromium-browser/chromium-browser", "org.chromium.Chromium"},
    {"/opt/google/chrome/chrome", "com.google.Chrome"},
    {"/opt/brave.com/brave/brave", "com.brave.Browser"},
    {"/opt/microsoft/msedge/msedge", "com.microsoft.edgemac"},
    {"/opt/vivaldi/vivaldi-bin", "com.vivaldi.Vivaldi"},
}};

}  // namespace

std::optional<std::string> bundleIdentifier(std::string_view executable) {
  // A program replaced while it runs shows as "<path> (deleted)"; it is still that browser.
  constexpr std::string_view kDeleted = " (deleted)";
  if (executable.ends_with(kDeleted)) executable.remove_suffix(kDeleted.size());
  for (const auto& [program, identifier] : kPrograms)
    if (executable == program) return std::string(identifier);
  return std::nullopt;
}

}  // namespace velvix::platform::LinuxApplications
