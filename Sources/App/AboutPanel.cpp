#include "App/AboutPanel.hpp"

#include <memory>

#include <QMessageBox>
#include <QPointer>

#include "Platform/Simulated/SimApplication.hpp"
#include "Support/AppIdentity.hpp"

namespace velvix {

void AboutPanel::attach(sim::SimApplication& application, QWidget* parent) {
  QPointer<QWidget> owner(parent);
  auto open = std::make_shared<QPointer<QMessageBox>>();
  application.presentAbout = [&application, owner, open] {
    if (*open) {  // asked again while it shows: the same dialog comes forward
      (*open)->raise();
      return;
    }
    auto* about =
        new QMessageBox(QMessageBox::Information, "About Velvix",
                        QString::fromStdString(AppIdentity::nameAndVersion()), QMessageBox::Ok, owner);
    about->setInformativeText(kDescription);
    about->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(about, &QDialog::finished, [&application] {
      if (auto panel = application.aboutPanel()) application.closeWindow(*panel);
    });
    *open = about;
    about->open();
  };
}

}  // namespace velvix
