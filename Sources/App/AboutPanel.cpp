#include "App/AboutPanel.hpp"

#include <memory>

#include <QMessageBox>
#include <QPointer>

#include "Platform/MainLoop.hpp"
#include "Platform/Qt/SimScreenLayer.hpp"
#include "Platform/Simulated/SimApplication.hpp"
#include "Support/AppIdentity.hpp"
#include "UI/PanelWindow.hpp"
#include "UI/SettingsStyle.hpp"

namespace velvix {

namespace {

// The dialog while it shows, and the look at its window that keeps the two together.
struct ShownAbout {
  std::unique_ptr<PanelWindow> panel;
  platform::Timer follow;
};
using AboutState = std::shared_ptr<std::unique_ptr<ShownAbout>>;

void closeShown(const AboutState& state) {
  if (!*state) return;
  std::shared_ptr<ShownAbout> closing(state->release());
  closing->follow.invalidate();
  closing->panel->hide();
  // The box may be inside its own click's handler: it goes once that has returned.
  QMetaObject::invokeMethod(
      &closing->panel->content(), [closing] {}, Qt::QueuedConnection);
}

}  // namespace

void AboutPanel::attach(sim::SimApplication& application, platform::ScreenPlacement* placement,
                        platform::MainLoop& loop) {
  auto state = std::make_shared<std::unique_ptr<ShownAbout>>();
  application.presentAbout = [&application, &loop, placement, state] {
    const auto number = application.aboutPanel();
    if (!number) return;
    if (*state) {  // asked again while it shows: the same dialog comes forward
      (*state)->panel->show();
      return;
    }
    auto box =
        std::make_unique<QMessageBox>(QMessageBox::Information, "About Velvix",
                                      QString::fromStdString(AppIdentity::nameAndVersion()), QMessageBox::Ok);
    box->setObjectName("velvix.about");
    box->setInformativeText(kDescription);
    // Wide enough that the description reads on one line.
    box->setStyleSheet("QLabel#qt_msgbox_label, QLabel#qt_msgbox_informativelabel { min-width: 240px; }");
    SettingsStyle::makeDarkDialog(box.get());
    box->adjustSize();
    QMessageBox* raw = box.get();
    const QSize size = box->sizeHint().expandedTo(box->size());
    auto shown = std::make_unique<ShownAbout>();
    shown->panel = std::make_unique<PanelWindow>(std::move(box), placement, qt::SimScreenLayer::kNormalLevel);
    shown->panel->setWindowNumber(*number);
    // Centred where its window was put; that window takes the dialog's size and its title bar.
    const Rect at = application.windowFrame(*number).value_or(Rect{560, 300, 320, 200});
    const double height = size.height() + shown->panel->titleBarHeight();
    const Rect frame{at.midX() - size.width() / 2.0, at.midY() - height / 2.0,
                     static_cast<double>(size.width()), height};
    application.setWindowFrame(*number, frame);
    shown->panel->place(frame);
    QObject::connect(raw, &QDialog::finished, raw, [&application, state, number] {
      closeShown(state);
      if (application.aboutPanel() == number) application.closeWindow(*number);
    });
    // Its window is the truth: closed on the desktop (Command-W, the switcher) the dialog goes;
    // minimised, it hides until the window comes back.
    shown->follow = loop.every(
        0.25,
        [&application, state, number] {
          if (!*state) return;
          std::optional<platform::Application::OwnWindow> own;
          for (const auto& w : application.windows())
            if (w.number == *number) own = w;
          if (!own) return closeShown(state);
          PanelWindow& panel = *(*state)->panel;
          if (own->miniaturized && panel.isVisible()) panel.hide();
          if (!own->miniaturized && !panel.isVisible()) panel.show();
        },
        platform::TimerMode::Common);
    *state = std::move(shown);
    (*state)->panel->show();
    (*state)->panel->window().setFocus(Qt::ActiveWindowFocusReason);
  };
}

}  // namespace velvix
