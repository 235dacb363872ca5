#include "Platform/Simulated/SampleDesktop.hpp"

#include "Platform/Simulated/SimDesktop.hpp"
#include "Platform/Simulated/SimDock.hpp"

namespace velvix::sim::SampleDesktop {

void populate(SimDesktop& desktop) {
  auto finder = desktop.launch({.bundleID = "com.apple.finder", .name = "Finder"});
  auto chrome = desktop.launch({.bundleID = "com.google.Chrome", .name = "Google Chrome"});
  auto terminal = desktop.launch({.bundleID = "com.apple.Terminal", .name = "Terminal"});
  auto textEdit = desktop.launch({.bundleID = "com.apple.TextEdit", .name = "TextEdit"});
  auto mail = desktop.launch({.bundleID = "com.apple.mail", .name = "Mail"});

  // Added back to front: the last window added is the front one.
  desktop.addWindow(finder, {.title = "Downloads", .bounds = {60, 80, 760, 480}});
  desktop.addWindow(mail, {.title = "Inbox", .bounds = {200, 60, 1000, 700}});
  desktop.addWindow(textEdit, {.title = "Notes.txt", .bounds = {300, 200, 600, 500}, .minimized = true});
  desktop.addWindow(textEdit, {.title = "Letter.rtf", .bounds = {420, 160, 640, 560}});
  desktop.addWindow(terminal, {.title = "zsh", .bounds = {120, 420, 720, 420}});
  desktop.addWindow(chrome, {.title = "Release notes", .bounds = {160, 100, 1100, 720}});
  desktop.addWindow(chrome, {.title = "Project board", .bounds = {100, 60, 1180, 760}});
  desktop.activate(chrome);

  // The Dock keeps the applications' icons, Mail's with its unread count.
  SimDock& dock = desktop.dock();
  dock.start();
  for (auto pid : {finder, chrome, terminal, textEdit}) dock.addApplication(pid);
  dock.addApplication(mail, "3");
}

}  // namespace velvix::sim::SampleDesktop
