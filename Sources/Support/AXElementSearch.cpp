#include "Support/AXElementSearch.hpp"

#include <algorithm>
#include <cctype>
#include <deque>
#include <memory>

#include "Platform/MainLoop.hpp"

namespace velvix::AXElementSearch {
namespace {

std::string text(platform::Accessibility& ax, platform::AXElement element, const char* attribute) {
  platform::AXValue value;
  if (ax.copyAttribute(element, attribute, value) != platform::AXError::success) return {};
  if (const auto* s = std::get_if<std::string>(&value)) return *s;
  return {};
}

std::string label(platform::Accessibility& ax, platform::AXElement element) {
  std::string joined;
  for (const char* attribute : {"AXTitle", "AXDescription", "AXValue"}) {
    std::string part = text(ax, element, attribute);
    if (part.empty()) continue;
    if (!joined.empty()) joined += ' ';
    joined += part;
  }
  return joined;
}

void attempt(platform::Accessibility& ax, platform::MainLoop& loop, platform::AXElement root, double deadline,
             std::shared_ptr<Match> match,
             std::shared_ptr<std::function<void(platform::AXElement)>> completion, double interval) {
  if (loop.uptime() >= deadline) return (*completion)({});
  if (auto found = firstMatch(ax, root, *match)) return (*completion)(found);
  loop.postAfter(interval, [&ax, &loop, root, deadline, match, completion, interval] {
    attempt(ax, loop, root, deadline, match, completion, interval);
  });
}

}  // namespace

platform::AXElement firstMatch(platform::Accessibility& ax, platform::AXElement root, const Match& match) {
  std::deque<platform::AXElement> queue{root};
  for (int taken = 0; !queue.empty() && taken < kMaxElements; ++taken) {
    const platform::AXElement element = queue.front();
    queue.pop_front();
    if (match(text(ax, element, platform::AXAttribute::kRole),
              text(ax, element, platform::AXAttribute::kSubrole), label(ax, element)))
      return element;
    platform::AXValue children;
    if (ax.copyAttribute(element, platform::AXAttribute::kChildren, children) == platform::AXError::success)
      if (const auto* list = std::get_if<std::vector<platform::AXElement>>(&children))
        queue.insert(queue.end(), list->begin(), list->end());
  }
  return {};
}

void search(platform::Accessibility& ax, platform::MainLoop& loop, platform::AXElement root, double deadline,
            Match match, std::function<void(platform::AXElement)> completion, double interval) {
  auto shared = std::make_shared<Match>(std::move(match));
  auto done = std::make_shared<std::function<void(platform::AXElement)>>(std::move(completion));
  loop.post([&ax, &loop, root, deadline, shared, done, interval] {
    attempt(ax, loop, root, deadline, shared, done, interval);
  });
}

bool containsIgnoringCase(std::string_view text, std::string_view needle) {
  auto lower = [](unsigned char c) { return std::tolower(c); };
  return std::search(text.begin(), text.end(), needle.begin(), needle.end(),
                     [&](char a, char b) { return lower(a) == lower(b); }) != text.end();
}

}  // namespace velvix::AXElementSearch
