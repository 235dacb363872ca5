#pragma once
// The Apple Events script runner of the simulated desktop: it answers the tab handlers of the
// browser, Safari and Terminal script libraries from the desktop's windows and tabs, after the
// desktop's script latency, and changes the world for the switching and closing handlers.
// Scripts of an application in SimDesktop::failingScripts fail; hanging ones are killed at the
// time limit.

#include "Platform/ScriptRunner.hpp"

namespace velvix::sim {

class SimDesktop;
struct SimWindow;

class SimScriptRunner final : public platform::ScriptRunner {
 public:
  explicit SimScriptRunner(SimDesktop& desktop) : desktop_(desktop) {}
  void run(const platform::ScriptCall& call, Completion completion) override;

 private:
  std::optional<std::vector<std::string>> answer(const platform::ScriptCall& call);
  std::vector<SimWindow*> windowsOf(const std::string& bundleID);
  bool allowed(const platform::ScriptCall& call, const SimWindow& window, bool wantPrivate) const;
  std::string resolveTab(const platform::ScriptCall& call, bool close);
  std::string closeExact(const platform::ScriptCall& call);

  SimDesktop& desktop_;
};

}  // namespace velvix::sim
