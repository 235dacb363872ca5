#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QGraphicsProxyWidget>
#include <QGraphicsView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScrollArea>
#include <QScrollBar>

#include "App/AboutPanel.hpp"
#include "App/AlertDialogs.hpp"
#include "Core/Preferences.hpp"
#include "Platform/Qt/SimWindowPainter.hpp"
#include "Platform/Simulated/SimApplication.hpp"
#include "TestSupport/OneScreen.hpp"
#include "TestSupport/Waits.hpp"
#include "UI/HUDController.hpp"
#include "UI/SettingsSwitch.hpp"
#include "UI/SettingsView.hpp"
#include "UI/SettingsWindowController.hpp"

// What the one window shows of the program's own windows and panels: each where, when and in
// the order the simulated system has it, drawn whole.

namespace velvix {
namespace {

using test::OneScreen;

struct Screen : OneScreen {
  // A point of a widget inside a composed panel, in the desktop view's coordinates.
  QPointF inView(const QWidget& inner, QPointF at) const {
    const QWidget* content = inner.window();
    for (auto* host : view.findChildren<QGraphicsView*>()) {
      if (!host->isVisible() || !host->scene()) continue;
      const auto items = host->scene()->items();
      if (std::none_of(items.begin(), items.end(), [&](QGraphicsItem* item) {
            auto* proxy = dynamic_cast<QGraphicsProxyWidget*>(item);
            return proxy && proxy->widget() == content;
          }))
        continue;
      const QPoint inHost = host->mapFromScene(QPointF(inner.mapTo(content, at.toPoint())));
      return host->viewport()->mapTo(&view, inHost);
    }
    ADD_FAILURE() << "no composed panel holds " << inner.objectName().toStdString();
    return {};
  }
  QWidget* front(Point at) {
    qt::SimScreenLayer& layer = view.screenLayer();
    return layer.panelAt(layer.mapFrom(&view, view.toView(at).toPoint()));
  }
  // The view as drawn, and as drawn without `panel`.
  std::pair<QImage, QImage> drawnWithAndWithout(QWidget& panel) {
    QImage shown(view.size(), QImage::Format_ARGB32);
    view.render(&shown);
    QImage without(view.size(), QImage::Format_ARGB32);
    panel.hide();
    view.render(&without);
    panel.show();
    return {shown, without};
  }
};

TEST(ScreenScenario, VelvixsWindowsKeepToTheirSpaceHideWithItAndShowTheFrontOnesTitleBar) {
  Screen w;
  w.desktop.displays().front().spaces = {1, 2};
  AboutPanel::attach(w.desktop.application(), &w.view, w.loop);
  w.app->delegate().openSettingsMenuItem();
  w.pause(0.5);
  QWidget* settings = w.panelNamed("settings.window");
  ASSERT_TRUE(settings);
  const Rect frame = w.desktop.window(w.services().settingsWindow->window()->number())->bounds;
  const Point inside{frame.maxX() - 30, frame.maxY() - 30};
  ASSERT_EQ(w.front(inside), settings);

  // Its window stays on Space 1: on Space 2 nothing of it shows or takes a click.
  w.desktop.switchSpace(0, 2);
  w.pause(0.2);
  EXPECT_EQ(w.front(inside), nullptr);
  auto [shown, without] = w.drawnWithAndWithout(*settings);
  const QPoint at = w.view.toView(inside).toPoint();
  EXPECT_EQ(shown.pixel(at), without.pixel(at));
  w.desktop.switchSpace(0, 1);
  w.pause(0.2);
  EXPECT_EQ(w.front(inside), settings);

  // Hidden with the program, back when it is activated.
  w.desktop.application().hide();
  w.pause(0.2);
  EXPECT_EQ(w.front(inside), nullptr);
  EXPECT_EQ(w.frontmostPid(), w.mail);  // the application of the front window left
  w.desktop.activate(w.desktop.selfPid());
  w.pause(0.2);
  EXPECT_EQ(w.front(inside), settings);

  // About in front of the settings window: its title bar shows over the settings panel, and the
  // panel's content does not show through its glass.
  w.desktop.application().orderFrontStandardAboutPanel();
  w.pause(0.5);
  ASSERT_TRUE(w.panelNamed("velvix.about"));
  const Rect about = w.desktop.window(*w.desktop.application().aboutPanel())->bounds;
  const Point bar{about.midX(), about.y + qt::SimWindowPainter::kTitleBarHeight / 2};
  ASSERT_TRUE(frame.contains(bar) && frame.contains({about.x + 10, about.maxY() - 10}));
  EXPECT_NE(w.front(bar), settings);
  std::tie(shown, without) = w.drawnWithAndWithout(*settings);
  for (const Point p : {bar, Point{about.x + 10, about.maxY() - 10}}) {
    const QPoint px = w.view.toView(p).toPoint();
    EXPECT_EQ(shown.pixel(px), without.pixel(px)) << p.x << "," << p.y;
  }
}

TEST(ScreenScenario, TheSwitcherStaysInFrontOfAnAlertThatComesWhileAChordIsOpen) {
  Screen w;
  AlertDialogs::attach(w.desktop.application(), w.view);
  w.app->delegate().openSettingsMenuItem();
  w.pause(0.5);
  auto key = [&](QEvent::Type type, int code) {
    QKeyEvent event(type, code, Qt::ControlModifier);
    QCoreApplication::sendEvent(&w.view, &event);
  };
  key(QEvent::KeyPress, Qt::Key_Control);
  key(QEvent::KeyPress, Qt::Key_Tab);
  key(QEvent::KeyRelease, Qt::Key_Tab);
  w.pause(test::kPastHUDReveal);
  ASSERT_TRUE(w.hudVisible());
  int answer = -1;
  w.desktop.application().showAlert("A question?", "", {"Yes"}, [&](int b) { answer = b; });
  const auto order = w.stacking();
  auto place = [&](const char* prefix) {
    QWidget* panel = w.panelNamed(prefix);
    EXPECT_TRUE(panel) << prefix;
    return std::find(order.begin(), order.end(), panel) - order.begin();
  };
  EXPECT_GT(place(HUDController::kPanelName), place("velvix.alert"));
  EXPECT_GT(place("velvix.alert"), place("settings.window"));
  key(QEvent::KeyRelease, Qt::Key_Control);
  w.pause(1);
  w.type(Qt::Key_Return, Qt::NoModifier);
  EXPECT_EQ(answer, 0);
}

TEST(ScreenScenario, TheTerminalPanesCardsAreWholeDimmedOrNotAndDimmedTakeNoClicks) {
  Screen w;
  w.app->delegate().openSettingsMenuItem();
  w.pause(0.5);
  SettingsView* settings = w.services().settingsWindow->view();
  settings->selectTab(SettingsTab::terminal);
  w.pause(0.2);
  auto* scroll = settings->findChild<QScrollArea*>("settings.detail");
  auto* features = settings->findChild<QWidget*>("terminal.features");
  ASSERT_TRUE(scroll && features);
  const auto switches = features->findChildren<SettingsSwitch*>();
  ASSERT_EQ(switches.size(), 8);
  Preferences& prefs = *w.services().preferences;
  for (const bool on : {true, false}) {
    prefs.terminalEditingKeysEnabled.set(on);
    w.pause(0.2);
    int seen = 0;
    for (const int value :
         {0, scroll->verticalScrollBar()->maximum() / 2, scroll->verticalScrollBar()->maximum()}) {
      scroll->verticalScrollBar()->setValue(value);
      QCoreApplication::processEvents();
      const QImage shown = w.view.grab().toImage();
      for (SettingsSwitch* control : switches) {
        const QRect inViewport(control->mapTo(scroll->viewport(), QPoint()), control->size());
        if (!scroll->viewport()->rect().contains(inViewport)) continue;
        ++seen;
        // The white knob at the switch's end, at half strength while dimmed.
        const double knobX = control->isChecked() ? control->width() - 11 : 11;
        const QPointF knob = w.inView(*control, {knobX, control->height() / 2.0});
        EXPECT_GT(shown.pixelColor(knob.toPoint()).lightness(), on ? 200 : 110)
            << control->objectName().toStdString() << " at scroll " << value << (on ? "" : ", dimmed");
      }
    }
    EXPECT_GE(seen, 8);
  }
  // Dimmed, a click on a switch changes nothing; enabled, it turns that very switch.
  scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
  QCoreApplication::processEvents();
  SettingsSwitch* cut = settings->findChild<SettingsSwitch*>("terminalCutEnabled");
  ASSERT_TRUE(cut);
  const bool before = prefs.terminalCutEnabled.get();
  const QPointF centre = w.inView(*cut, QPointF(cut->width() / 2.0, cut->height() / 2.0));
  auto clickCut = [&] {
    w.mouseAt(QEvent::MouseButtonPress, centre);
    w.mouseAt(QEvent::MouseButtonRelease, centre);
    w.pause(0.1);
  };
  clickCut();
  EXPECT_EQ(prefs.terminalCutEnabled.get(), before);
  prefs.terminalEditingKeysEnabled.set(true);
  w.pause(0.2);
  clickCut();
  EXPECT_EQ(prefs.terminalCutEnabled.get(), !before);
}

TEST(ScreenScenario, TheStockBoxesAreDarkWithLightTextsAndFieldsShowTheirPlaceholder) {
  Screen w;
  AlertDialogs::attach(w.desktop.application(), w.view);
  AboutPanel::attach(w.desktop.application(), &w.view, w.loop);
  int answer = -1;
  w.desktop.application().showAlert("A question?", "", {"Yes", "No"}, [&](int b) { answer = b; });
  w.desktop.application().orderFrontStandardAboutPanel();
  w.pause(0.5);
  const QImage shown = w.view.grab().toImage();
  for (const char* name : {"velvix.alert", "velvix.about"}) {
    auto* host = qobject_cast<QGraphicsView*>(w.panelNamed(name));
    ASSERT_TRUE(host) << name;
    QMessageBox* box = nullptr;
    for (QGraphicsItem* item : host->scene()->items())
      if (auto* proxy = dynamic_cast<QGraphicsProxyWidget*>(item))
        box = qobject_cast<QMessageBox*>(proxy->widget());
    ASSERT_TRUE(box) << name;
    // Its face, by a corner and under its text, is the windows' dark; its text light.
    for (const QPointF at : {QPointF(6, box->height() - 6), QPointF(box->width() - 6, 6)})
      EXPECT_LT(shown.pixelColor(w.inView(*box, at).toPoint()).lightness(), 70) << name;
    auto* text = box->findChild<QLabel*>("qt_msgbox_label");
    ASSERT_TRUE(text);
    EXPECT_GT(text->palette().color(QPalette::WindowText).lightness(), 200) << name;
  }
  w.type(Qt::Key_Escape, Qt::NoModifier);

  w.app->delegate().openSettingsMenuItem();
  w.pause(0.5);
  SettingsView* settings = w.services().settingsWindow->view();
  auto* picker = settings->findChild<QComboBox*>();
  ASSERT_TRUE(picker);
  const QPalette list = picker->view()->palette();
  EXPECT_LT(list.color(QPalette::Base).lightness(), 70);
  EXPECT_GT(list.color(QPalette::Text).lightness(), 200);
  settings->selectTab(SettingsTab::general);
  auto* field = settings->findChild<QLineEdit*>("excludedBundleIDs");
  ASSERT_TRUE(field);
  EXPECT_GT(field->palette().color(QPalette::PlaceholderText).lightness() -
                field->palette().color(QPalette::Base).lightness(),
            60);
}

}  // namespace
}  // namespace velvix
