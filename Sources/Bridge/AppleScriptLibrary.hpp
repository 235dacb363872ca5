#pragma once
// The three script libraries the application carries as text: one for every Chromium-family
// browser (a template that addresses "Google Chrome", renamed per browser), one for Terminal and
// one for Safari. A runnable script is a library followed by a short trailer that calls its
// handlers (AppleScriptTrailers); the Safari library also serves the in-process script host.

#include <string>
#include <string_view>

#include "Support/Browser.hpp"

namespace velvix {

class AppleScriptLibrary {
 public:
  // The name the Chromium template addresses its application by.
  static constexpr std::string_view kTemplateApplication = "Google Chrome";

  static const std::string& chromiumSourceTemplate();
  static const std::string& terminal();
  static const std::string& safari();
  // Terminal's or Safari's library, or the template addressed to the browser's own name.
  static std::string forBrowser(Browser browser);
  // The template with every "Google Chrome" replaced by `applicationName`.
  static std::string chromiumFor(std::string_view applicationName);
};

}  // namespace velvix
