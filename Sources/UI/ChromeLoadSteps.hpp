#pragma once
// The written steps for loading the unpacked Chromium extension by hand, and the note that the
// automatic set-up does the same (a stopped run leaves the user at step 2). A view without state
// or inputs; its texts mark bold runs with double asterisks, shown in bold without them.

#include <string>
#include <vector>

#include <QWidget>

namespace velvix {

class ChromeLoadSteps final : public QWidget {
 public:
  static constexpr const char* kObjectName = "ChromeLoadSteps";
  // The secondary text colour on the dark glass both hosts (the set-up window and the settings
  // window's General pane) show the steps on; the steps take it themselves, whatever the host sets.
  static constexpr const char* kTextColour = "rgba(235, 235, 245, 190)";

  explicit ChromeLoadSteps(QWidget* parent = nullptr);

  static std::string intro();
  static std::vector<std::string> steps();
  // "**x**" runs as bold rich text, the rest escaped.
  static std::string richText(const std::string& marked);
};

}  // namespace velvix
