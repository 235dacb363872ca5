#include "App/AlertDialogs.hpp"

#include <algorithm>
#include <deque>
#include <memory>
#include <vector>

#include <QAbstractButton>
#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QString>

#include "Platform/Qt/SimDesktopView.hpp"
#include "Platform/Qt/SimScreenLayer.hpp"
#include "Platform/Simulated/SimApplication.hpp"
#include "UI/PanelWindow.hpp"
#include "UI/SettingsStyle.hpp"

namespace velvix {
namespace {

using AlertText = sim::SimApplication::AlertText;

// The alerts of one screen: the one in front is shown, the others wait. A modal alert goes on top
// of the one shown; a floating one waits for every alert before it.
class AlertScreen final : public QObject {
 public:
  explicit AlertScreen(qt::SimDesktopView& view) : QObject(&view), view_(view) {
    qApp->installEventFilter(this);
  }

  int runModal(const AlertText& alert) {
    int result = -1;
    QEventLoop loop;
    bool answered = false;
    push(
        alert,
        [&result, &answered, &loop](int button) {
          result = button;
          answered = true;
          loop.quit();
        },
        true);
    if (!answered) loop.exec();
    return result;
  }

  // The modal alert in front goes unanswered: its run returns -1.
  void dismissModal() {
    auto it = std::find_if(shown_.rbegin(), shown_.rend(), [](const auto& s) { return s->modal; });
    if (it == shown_.rend()) return;
    QMessageBox* box = static_cast<QMessageBox*>(&(*it)->panel->content());
    answered(box, nullptr, -1);
  }

  void present(const AlertText& alert, std::function<void(int)> answer) {
    waiting_.push_back({alert, std::move(answer)});
    if (shown_.empty()) showNext();
  }

 protected:
  // Return belongs to the alert in front, wherever the keyboard focus is.
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress || shown_.empty()) return QObject::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter) return QObject::eventFilter(watched, event);
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || !view_.isAncestorOf(widget)) return QObject::eventFilter(watched, event);
    Shown& front = *shown_.back();
    if (!front.buttons.isEmpty()) front.buttons.front()->click();
    return true;
  }

 private:
  struct Waiting {
    AlertText alert;
    std::function<void(int)> answer;
  };
  struct Shown {
    std::unique_ptr<PanelWindow> panel;
    QList<QAbstractButton*> buttons;
    std::function<void(int)> answer;
    bool modal = false;
  };

  void showNext() {
    if (!shown_.empty() || waiting_.empty()) return;
    Waiting next = std::move(waiting_.front());
    waiting_.pop_front();
    push(next.alert, std::move(next.answer));
  }

  // A box with the alert's texts and buttons, the first one the default and the last one the
  // answer to Escape, the buttons in the order given; shown in front, the one below hidden.
  void push(const AlertText& alert, std::function<void(int)> answer, bool modal = false) {
    auto box = std::make_unique<QMessageBox>();
    box->setObjectName("velvix.alert");
    box->setIcon(QMessageBox::Information);
    box->setWindowTitle("Velvix");
    box->setText(QString::fromStdString(alert.message));
    box->setInformativeText(QString::fromStdString(alert.informativeText));
    SettingsStyle::makeDarkDialog(box.get());
    auto shown = std::make_unique<Shown>();
    for (const auto& title : alert.buttons)
      shown->buttons.push_back(box->addButton(QString::fromStdString(title), QMessageBox::ActionRole));
    if (!shown->buttons.isEmpty()) {
      box->setDefaultButton(qobject_cast<QPushButton*>(shown->buttons.front()));
      box->setEscapeButton(shown->buttons.back());
    }
    shown->answer = std::move(answer);
    shown->modal = modal;
    const int count = static_cast<int>(alert.buttons.size());
    QMessageBox* raw = box.get();
    QObject::connect(raw, &QMessageBox::buttonClicked, this,
                     [this, raw, count](QAbstractButton* clicked) { answered(raw, clicked, count); });
    box->adjustSize();
    const QSize size = box->sizeHint().expandedTo(box->size());
    // Centred across the screen, in its upper part, as an alert window is.
    const Rect screen = view_.scene().screen;
    const Rect frame{screen.midX() - size.width() / 2.0, screen.y + (screen.height - size.height()) / 3,
                     static_cast<double>(size.width()), static_cast<double>(size.height())};
    shown->panel = std::make_unique<PanelWindow>(std::move(box), &view_, qt::SimScreenLayer::kAlertLevel);
    shown->panel->place(frame);
    if (!shown_.empty()) shown_.back()->panel->hide();
    shown_.push_back(std::move(shown));
    shown_.back()->panel->show();
    shown_.back()->panel->window().setFocus(Qt::ActiveWindowFocusReason);
    if (!shown_.back()->buttons.isEmpty()) shown_.back()->buttons.front()->setFocus();
  }

  void answered(QMessageBox* box, QAbstractButton* clicked, int count) {
    auto it = std::find_if(shown_.begin(), shown_.end(),
                           [box](const auto& s) { return &s->panel->content() == box; });
    if (it == shown_.end()) return;
    std::shared_ptr<Shown> done(it->release());
    shown_.erase(it);
    done->panel->hide();
    // Unanswered (`count` -1: taken away), or the box's own close, which counts as the last button.
    const int index = count < 0 ? -1 : static_cast<int>(done->buttons.indexOf(clicked));
    // The box goes once its click has returned.
    QMetaObject::invokeMethod(
        this, [done] {}, Qt::QueuedConnection);
    if (!shown_.empty()) {
      shown_.back()->panel->show();
      shown_.back()->panel->window().setFocus(Qt::ActiveWindowFocusReason);
    }
    if (done->answer) done->answer(count < 0 ? -1 : index < 0 ? count - 1 : index);
    showNext();
  }

  qt::SimDesktopView& view_;
  std::vector<std::unique_ptr<Shown>> shown_;  // bottom to top; only the top one is on the screen
  std::deque<Waiting> waiting_;
};

}  // namespace

void AlertDialogs::attach(sim::SimApplication& application, qt::SimDesktopView& view) {
  auto* screen = new AlertScreen(view);  // a child of the view
  QPointer<AlertScreen> alive(screen);
  application.presentModal = [alive](const AlertText& alert) { return alive ? alive->runModal(alert) : -1; };
  application.dismissModal = [alive] {
    if (alive) alive->dismissModal();
  };
  application.present = [alive](const AlertText& alert, std::function<void(int)> answer) {
    if (alive) alive->present(alert, std::move(answer));
  };
}

}  // namespace velvix
