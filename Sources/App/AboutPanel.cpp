#include "App/AboutPanel.hpp"

#include <memory>

#include <QMessageBox>
#include <QPointer>

#include "Platform/Qt/SimScreenLayer.hpp"
#include "Platform/Simulated/SimApplication.hpp"
#include "Support/AppIdentity.hpp"
#include "UI/PanelWindow.hpp"

namespace velvix {

void AboutPanel::attach(sim::SimApplication& application, platform::ScreenPlacement* placement) {
  // The panel shown now, if any; it goes when its window closes.
  auto shown = std::make_shared<std::unique_ptr<PanelWindow>>();
  application.presentAbout = [&application, placement, shown] {
    const auto number = application.aboutPanel();
    if (!number) return;
    if (*shown) {  // asked again while it shows: the same dialog comes forward
      (*shown)->show();
      return;
    }
    auto box =
        std::make_unique<QMessageBox>(QMessageBox::Information, "About Velvix",
                                      QString::fromStdString(AppIdentity::nameAndVersion()), QMessageBox::Ok);
    box->setObjectName("velvix.about");
    box->setInformativeText(kDescription);
    // Wide enough that the description reads on one line.
    box->setStyleSheet("QLabel#qt_msgbox_label, QLabel#qt_msgbox_informativelabel { min-width: 240px; }");
    box->adjustSize();
    QPointer<QMessageBox> raw(box.get());
    const QSize size = box->sizeHint().expandedTo(box->size());
    // Centred where its window was put; that window takes the dialog's size.
    const Rect at = application.windowFrame(*number).value_or(Rect{560, 300, 320, 200});
    const Rect frame{at.midX() - size.width() / 2.0, at.midY() - size.height() / 2.0,
                     static_cast<double>(size.width()), static_cast<double>(size.height())};
    application.setWindowFrame(*number, frame);
    *shown = std::make_unique<PanelWindow>(std::move(box), placement, qt::SimScreenLayer::kNormalLevel);
    (*shown)->place(frame);
    (*shown)->setWindowNumber(*number);
    QObject::connect(raw, &QDialog::finished, raw, [&application, shown, number] {
      (*shown)->hide();
      // The box is inside its own click's handler: it goes once that has returned.
      QPointer<QObject> box(&(*shown)->content());
      std::shared_ptr<PanelWindow> closing(shown->release());
      QMetaObject::invokeMethod(
          box, [closing] {}, Qt::QueuedConnection);
      if (application.aboutPanel() == number) application.closeWindow(*number);
    });
    (*shown)->show();
    (*shown)->window().setFocus(Qt::ActiveWindowFocusReason);
  };
}

}  // namespace velvix
