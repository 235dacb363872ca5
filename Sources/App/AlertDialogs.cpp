#include "App/AlertDialogs.hpp"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QString>

#include "Platform/Simulated/SimApplication.hpp"

namespace velvix {
namespace {

// A dialog with the alert's texts and buttons, the first one the default and the last one the
// answer to Escape; the buttons in the order given.
QMessageBox* makeBox(const sim::SimApplication::AlertText& alert, QWidget* parent,
                     QList<QAbstractButton*>& buttons) {
  auto* box = new QMessageBox(parent);
  box->setIcon(QMessageBox::Information);
  box->setWindowTitle("Velvix");
  box->setText(QString::fromStdString(alert.message));
  box->setInformativeText(QString::fromStdString(alert.informativeText));
  for (const auto& title : alert.buttons)
    buttons.push_back(box->addButton(QString::fromStdString(title), QMessageBox::ActionRole));
  if (!buttons.isEmpty()) {
    box->setDefaultButton(qobject_cast<QPushButton*>(buttons.front()));
    box->setEscapeButton(buttons.back());
  }
  return box;
}

}  // namespace

void AlertDialogs::attach(sim::SimApplication& application, QWidget* parent) {
  QPointer<QWidget> owner(parent);
  application.presentModal = [owner](const sim::SimApplication::AlertText& alert) {
    QList<QAbstractButton*> buttons;
    QMessageBox* box = makeBox(alert, owner, buttons);
    // Only a pressed button (Escape presses the last one) is an answer; a dialog closed some other
    // way, as when the program quits, gives none.
    int index = -1;
    QObject::connect(box, &QMessageBox::buttonClicked, box, [&index, buttons](QAbstractButton* clicked) {
      index = static_cast<int>(buttons.indexOf(clicked));
    });
    box->exec();
    delete box;
    return index;
  };
  application.present = [owner](const sim::SimApplication::AlertText& alert,
                                std::function<void(int)> answer) {
    QList<QAbstractButton*> buttons;
    QMessageBox* box = makeBox(alert, owner, buttons);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    QObject::connect(box, &QMessageBox::buttonClicked, box, [buttons, answer](QAbstractButton* clicked) {
      if (const auto index = buttons.indexOf(clicked); index >= 0) answer(static_cast<int>(index));
    });
    box->show();
    box->raise();
  };
}

}  // namespace velvix
