#include "UI/ChromeLoadSteps.hpp"

#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace velvix {

std::string ChromeLoadSteps::intro() {
  return "**Set Up Chrome Extension** does all of this for you \u2014 leave the keyboard and mouse alone "
         "while it runs (Esc stops it). If it can\u2019t finish, the browser is left open with the "
         "folder path already copied, so you can pick up from step 2:";
}

std::vector<std::string> ChromeLoadSteps::steps() {
  return {"Copy the extension out of the app and put its folder path on the clipboard.",
          "In Chrome (or Brave / Edge), open **chrome://extensions**.",
          "Turn on **Developer mode** \u2014 the switch in the top-right corner.", "Click **Load unpacked**.",
          "In the file dialog, press **\u2318\u21e7G**, paste the path with **\u2318V**, press Return, then "
          "click **Open**."};
}

std::string ChromeLoadSteps::richText(const std::string& marked) {
  std::string html;
  bool bold = false;
  for (std::size_t i = 0; i < marked.size(); ++i) {
    if (marked.compare(i, 2, "**") == 0) {
      html += bold ? "</b>" : "<b>";
      bold = !bold;
      ++i;
      continue;
    }
    switch (marked[i]) {
      case '<':
        html += "&lt;";
        break;
      case '>':
        html += "&gt;";
        break;
      case '&':
        html += "&amp;";
        break;
      default:
        html += marked[i];
    }
  }
  if (bold) html += "</b>";
  return html;
}

ChromeLoadSteps::ChromeLoadSteps(QWidget* parent) : QWidget(parent) {
  setObjectName(kObjectName);
  // The widget's own style sheet goes before any a host sets for its labels.
  setStyleSheet(QString("QLabel { color: %1; }").arg(kTextColour));
  auto* column = new QVBoxLayout(this);
  column->setSpacing(6);
  column->setContentsMargins(0, 0, 0, 0);
  auto label = [this](const std::string& text) {
    auto* l = new QLabel(QString::fromStdString(richText(text)), this);
    l->setTextFormat(Qt::RichText);
    l->setWordWrap(true);
    return l;
  };
  auto* introLabel = label(intro());
  introLabel->setContentsMargins(0, 0, 0, 2);
  column->addWidget(introLabel);
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(6);
  const auto all = steps();
  for (int i = 0; i < static_cast<int>(all.size()); ++i) {
    auto* number = label(std::to_string(i + 1) + ".");
    QFont digits = number->font();
    digits.setStyleHint(QFont::Monospace);
    digits.setFamily("monospace");
    number->setFont(digits);
    // The numbers line up with the first line of steps that wrap.
    grid->addWidget(number, i, 0, Qt::AlignTop | Qt::AlignRight);
    grid->addWidget(label(all[static_cast<std::size_t>(i)]), i, 1, Qt::AlignTop);
  }
  grid->setColumnStretch(1, 1);
  column->addLayout(grid);
  column->addStretch(1);  // the steps stay together at the top of whatever height they get
}

}  // namespace velvix
