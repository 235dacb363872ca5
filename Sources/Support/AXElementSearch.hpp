#pragma once
// Finding a control in another application's Accessibility tree by what it is and what it says:
// a breadth-first walk over at most 6,000 elements that tests each element's role, subrole and
// label (its title, description and value joined by spaces), and a search that repeats the walk
// on the main loop until a deadline. Used to drive a browser's pages and panels.

#include <functional>
#include <string>
#include <string_view>

#include "Platform/Accessibility.hpp"
#include "Platform/MainLoop.hpp"

namespace velvix {

namespace AXElementSearch {

inline constexpr int kMaxElements = 6000;
inline constexpr double kPollInterval = 0.4;

using Match =
    std::function<bool(const std::string& role, const std::string& subrole, const std::string& label)>;

// The first element under `root` (itself included) that matches, or no element.
platform::AXElement firstMatch(platform::Accessibility& ax, platform::AXElement root, const Match& match);
// Walks again every `interval` seconds until an element matches or the main loop's clock reaches
// `deadline` (no walk when it already has); the completion gets the element or no element, on
// the main loop, never before this returns.
void search(platform::Accessibility& ax, platform::MainLoop& loop, platform::AXElement root, double deadline,
            Match match, std::function<void(platform::AXElement)> completion,
            double interval = kPollInterval);
// Whether `text` contains `needle`, ignoring case.
bool containsIgnoringCase(std::string_view text, std::string_view needle);

}  // namespace AXElementSearch
}  // namespace velvix
