#pragma once
// What the tab handlers of the three script libraries do, carried out on the simulated desktop's
// windows and tabs: the answer text a script returns, and the switching and closing. Windows are
// visited front to back; only windows with tabs count. Safari learns which of its windows are
// private only from the Accessibility titles it is handed, as its library does.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Simulated/SimScriptReader.hpp"

namespace velvix::sim {

class SimDesktop;
struct SimWindow;

class SimTabScripts {
 public:
  // A script error, as the interpreter reports it: "<text> (<number>)".
  struct Error {
    int number;
    std::string message;
  };
  struct Answer {
    std::optional<Error> error;
    std::string text;  // the text the script returns
    std::string bundleID;
  };

  explicit SimTabScripts(SimDesktop& desktop) : desktop_(desktop) {}
  Answer answer(const SimScriptRequest& request);
  // The bundle a script's `tell application "<name>"` reaches, found by name as the system finds
  // it: the running application of that name, else the installed one; empty when none.
  std::string bundleFor(const std::string& applicationName) const;

 private:
  using Library = SimScriptRequest::Library;
  std::vector<SimWindow*> windowsOf(const std::string& bundleID);
  std::string record(Library library, const SimWindow& window, bool withTabCount = false) const;
  // Safari's private windows, paired from the titles as its library pairs them.
  std::vector<std::int64_t> privateSafariWindows(const std::vector<SimWindow*>& windows,
                                                 const std::vector<std::string>& titles) const;
  // Closes the tab at the 1-based position that shows the address (or, without one and when
  // `blankWithoutAddress`, a blank tab), in the first of `windows` that has one.
  bool closeExact(int index, const std::string& url, const std::vector<SimWindow*>& windows,
                  bool blankWithoutAddress);
  // `frontWindow`: the application's front window, whose current tab is "already current".
  std::string resolve(const SimScriptRequest& request, const std::vector<SimWindow*>& windows,
                      std::int64_t frontWindow, bool close);

  SimDesktop& desktop_;
};

}  // namespace velvix::sim
