#include "Platform/Simulated/SampleDesktop.hpp"

#include "Platform/Simulated/SimDesktop.hpp"

namespace velvix::sim::SampleDesktop {

void populate(SimDesktop& desktop) {
  desktop.launch({.bundleID = "com.apple.finder", .name = "Finder"});
  desktop.launch({.bundleID = "com.google.Chrome", .name = "Google Chrome"});
  desktop.launch({.bundleID = "com.apple.Terminal", .name = "Terminal"});
  desktop.launch({.bundleID = "com.apple.TextEdit", .name = "TextEdit"});
  desktop.launch({.bundleID = "com.apple.mail", .name = "Mail"});
}

}  // namespace velvix::sim::SampleDesktop
