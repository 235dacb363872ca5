#include "Platform/Qt/SimDesktopView.hpp"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>

#include <QApplication>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QToolTip>
#include <QWindow>

#include <xcb/xcb.h>

#include "Platform/InputEvent.hpp"
#include "Platform/Qt/LetteredIcon.hpp"
#include "Platform/Qt/RowSlices.hpp"
#include "Platform/Qt/SimDesktopPainter.hpp"
#include "Platform/Qt/SimDesktopPicture.hpp"
#include "Platform/Qt/SimMenuBarStrip.hpp"
#include "Platform/Qt/SimMenuPanel.hpp"
#include "Platform/Qt/SimScreenLayer.hpp"
#include "Platform/Qt/SimSystemMenuTitle.hpp"
#include "Platform/Qt/SimWindowPainter.hpp"
#include "Platform/Simulated/SimDesktop.hpp"
#include "Platform/Simulated/SimInput.hpp"
#include "Platform/Simulated/SimMenuBar.hpp"
#include "Platform/Simulated/SimSystemMenu.hpp"
#include "Platform/Simulated/SimWorkspace.hpp"

namespace velvix::qt {

using platform::EventType;
using platform::InputEvent;

SimDesktopView::~SimDesktopView() = default;

bool SimDesktopView::ownAppFrontmost() const {
  return desktop_.selfPid() != 0 && desktop_.frontmostPid() == desktop_.selfPid();
}

QRectF SimDesktopView::menuBarRect() const {
  const Rect& r = scene_.menuBar;
  return {toView({r.x, r.y}), QSizeF(r.width * scale(), r.height * scale())};
}

QRectF SimDesktopView::systemMenuTitleRect() const {
  const QRectF strip = menuBarRect();
  double right = strip.right();
  if (menuBar) {
    const QRectF status = SimMenuBarStrip::layout(*menuBar, strip, scale(), ownAppFrontmost()).statusIcon;
    if (!status.isNull()) right = status.left();
  }
  return SimSystemMenuTitle::rect(strip, scale(), right);
}

bool SimDesktopView::openMenuAt(QPointF point) {
  QRectF under = systemMenuTitleRect();
  platform::Menu* menu = nullptr;
  if (under.contains(point)) {
    menu = &systemMenu_->menu();
    if (menu->willOpen) menu->willOpen();
  } else if (menuBar) {
    menu = SimMenuBarStrip::menuAt(*menuBar, menuBarRect(), scale(), ownAppFrontmost(), point, &under);
  }
  if (!menu) return false;
  closeMenu();
  openMenu_ = std::make_unique<SimMenuPanel>(*menu, *layer_, scale());
  openMenu_->onClose = [this] {
    // It may be handling the key or click that closed it: it goes on the loop's next turn.
    if (openMenu_) openMenu_.release()->deleteLater();
    update();  // its title is no longer marked
  };
  openMenu_->onStepAcross = [this](int direction) {
    const std::vector<QRectF> titles = menuTitles();
    const auto at = std::find(titles.begin(), titles.end(), openMenuTitle_);
    if (at == titles.end() || titles.size() < 2) return;
    const auto count = static_cast<std::ptrdiff_t>(titles.size());
    const std::ptrdiff_t next = ((at - titles.begin()) + direction + count) % count;
    switchMenuTo(titles[static_cast<std::size_t>(next)].center(), true);
  };
  openMenuTitle_ = under;
  // Below its title; the panel keeps itself inside the screen at the right end.
  openMenu_->popUp(layer_->mapFrom(this, under.bottomLeft().toPoint()), focusBeforePress_);
  update();
  return true;
}

std::vector<QRectF> SimDesktopView::menuTitles() const {
  std::vector<QRectF> titles;
  QRectF status;
  if (menuBar) {
    const auto parts = SimMenuBarStrip::layout(*menuBar, menuBarRect(), scale(), ownAppFrontmost());
    for (const auto& [rect, item] : parts.titles) titles.push_back(rect);
    status = parts.statusIcon;
  }
  titles.push_back(systemMenuTitleRect());
  if (!status.isNull()) titles.push_back(status);
  return titles;
}

void SimDesktopView::switchMenuTo(QPointF titlePoint, bool withKeyboard) {
  if (!openMenu_ || openMenu_->isHidden() || openMenuTitle_.contains(titlePoint)) return;
  focusBeforePress_ = openMenu_->returnFocus();
  const bool opened = openMenuAt(titlePoint);
  focusBeforePress_ = nullptr;
  if (opened && withKeyboard) {
    // Opened from the keyboard, its first item is picked, as the arrow keys would.
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QCoreApplication::sendEvent(openMenu_.get(), &down);
  }
}

void SimDesktopView::closeMenu() {
  if (openMenu_) openMenu_->closeAll();
}

bool SimDesktopView::pressedWithMenuOpen(QPointF point) {
  if (!openMenu_ || openMenu_->isHidden()) return false;
  if (openMenu_->containsInLayer(layer_->mapFrom(this, point.toPoint()))) return false;
  // A click elsewhere closes the menu and does nothing more, unless it opens another title's menu.
  const QRectF title = openMenuTitle_;
  closeMenu();
  return title.contains(point) || !menuBarRect().contains(point);
}

SimDesktopView::SimDesktopView(sim::SimDesktop& desktop, QWidget* parent)
    : QWidget(parent), desktop_(desktop) {
  setWindowTitle(kTitle);
  setObjectName("SimulatedDesktop");
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  layer_ = new SimScreenLayer(this);
  layer_->paintScreen = [this](QPainter& p) {
    if (screen_.isNull()) return;
    p.drawImage(screenRect().translated(-QPointF(layer_->pos())), screen_);
  };
  if (!desktop_.iconArt) desktop_.iconArt = &LetteredIcon::forApplication;
  systemMenu_ = std::make_unique<sim::SimSystemMenu>(desktop_);
  watch_ = desktop_.watchChanges([this] { changed(); });
  refresh();
  const QRect available = screen() ? screen()->availableGeometry() : QRect(0, 0, 1440, 900);
  const Rect& shown = scene_.screen;
  const double opening = openingScale(shown.size(), {1.0 * available.width(), 1.0 * available.height()});
  resize(static_cast<int>(std::floor(shown.width * opening)),
         static_cast<int>(std::floor(shown.height * opening)));
  fitScreenLayer();
  if (qApp) qApp->installEventFilter(this);
}

void SimDesktopView::changed() {
  if (lookPosted_) return;
  lookPosted_ = true;
  desktop_.loop().post([view = QPointer<SimDesktopView>(this)] {
    if (view) view->look();
  });
}

void SimDesktopView::look() {
  lookPosted_ = false;
  // A paint may have worked the scene out since the change: the program's own windows follow
  // each revision all the same.
  const std::uint64_t revision = desktop_.revision();
  if (revision == lookedRevision_ && screenScene_ && menuBarState() == drawnMenuBar_ &&
      composedWindows() == screenComposed_)
    return;
  lookedRevision_ = revision;
  const sim::SimDesktopScene& now = currentScene();
  followOwnWindows(now);
  if (!screenScene_ || menuBarState() != drawnMenuBar_ || composedWindows() != screenComposed_ ||
      !(now == *screenScene_))
    update();
}

const sim::SimDesktopScene& SimDesktopView::currentScene() {
  const std::uint64_t revision = desktop_.revision();
  if (revision != sceneRevision_ || scene_.screen.width <= 0) {
    scene_ = sim::SimDesktopScene::build(desktop_);
    sceneRevision_ = revision;
  }
  return scene_;
}

double SimDesktopView::openingScale(Size screen, Size available) {
  if (!(screen.width > 0) || !(screen.height > 0)) return 1.0;
  const double fits = std::min((available.width - kFrameAllowance.width) / screen.width,
                               (available.height - kFrameAllowance.height) / screen.height);
  return std::clamp(fits, 0.5, 1.0);
}

bool SimDesktopView::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  // Pointer events are seen once, where the display hands them to this window, before they go to
  // the panel under the pointer.
  if (watched == windowHandle() && (type == QEvent::MouseMove || type == QEvent::MouseButtonPress)) {
    const QPointF local = mapFromGlobal(static_cast<QMouseEvent*>(event)->globalPosition());
    QWidget* panel = layer_->panelAt(layer_->mapFrom(this, local.toPoint()));
    if (type == QEvent::MouseMove && menuBarRect().contains(local)) switchMenuTo(local, false);
    if (type == QEvent::MouseMove) {
      // Wherever it goes (over the program's panels, or over one that another window covers),
      // the simulated pointer moves too, as it would on the real screen.
      desktop_.movePointer(toSimulated(local));
      desktop_.noteInput(platform::InputEventType::mouseMoved);
    }
    if (type == QEvent::MouseButtonPress) {
      if (pressedWithMenuOpen(local)) return true;
      focusBeforePress_ = QApplication::focusWidget();
      // A press on a title of the strip opens its menu before the press would give this view
      // the keyboard: the field being typed into keeps its selection for Cut and Copy.
      if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && !panel && openMenuAt(local)) {
        focusBeforePress_ = nullptr;
        return true;
      }
    }
    if (panel && type == QEvent::MouseButtonPress) clickedPanel(*panel);
    return QWidget::eventFilter(watched, event);
  }
  // Keys typed into one of the program's windows: with Command (Control) held they belong to the
  // simulated system first (the main menu's key equivalents, the switcher's chord); the modifiers
  // are the simulated keyboard's either way.
  if (type == QEvent::KeyPress || type == QEvent::KeyRelease) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget && widget != this && isAncestorOf(widget)) {
      auto* key = static_cast<QKeyEvent*>(event);
      const bool modifierKey = key->key() == Qt::Key_Control || key->key() == Qt::Key_Alt ||
                               key->key() == Qt::Key_Shift || key->key() == Qt::Key_Meta;
      if (modifierKey || (key->modifiers() & Qt::ControlModifier)) {
        if (type == QEvent::KeyPress)
          keyPressEvent(key);
        else
          keyReleaseEvent(key);
        return !modifierKey;
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

SimDesktopView::MenuBarState SimDesktopView::menuBarState() const {
  if (!menuBar) return {};
  return {menuBar->mainMenu.get(), menuBar->statusMenu.get(), menuBar->statusImage, ownAppFrontmost()};
}

void SimDesktopView::keepKeyboard(double seconds) {
  keepKeyboardUntil_ = QDeadlineTimer(static_cast<qint64>(seconds * 1000));
}

void SimDesktopView::takeKeyboardBack() {
  // The display server ignores a request for the keyboard made earlier than its last change of
  // hands, and Qt dates its requests by the last event it saw, before the other program took the
  // keyboard: on X the request is made for the present instead.
  auto* x11 = QGuiApplication::platformName() == "xcb"
                  ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                  : nullptr;
  if (xcb_connection_t* connection = x11 ? x11->connection() : nullptr; connection && isVisible()) {
    xcb_set_input_focus(connection, XCB_INPUT_FOCUS_PARENT, static_cast<xcb_window_t>(winId()),
                        XCB_CURRENT_TIME);
    xcb_flush(connection);
  }
  activateWindow();
}

bool SimDesktopView::event(QEvent* event) {
  if (event->type() == QEvent::WindowDeactivate && keepKeyboardUntil_) {
    const bool inTime = !keepKeyboardUntil_->hasExpired();
    keepKeyboardUntil_.reset();
    // Once the other program has taken the keyboard, not while it is still being taken.
    if (inTime)
      QMetaObject::invokeMethod(
          this, [this] { takeKeyboardBack(); }, Qt::QueuedConnection);
  }
  if (event->type() != QEvent::ToolTip || !menuBar) return QWidget::event(event);
  auto* help = static_cast<QHelpEvent*>(event);
  const auto layout = SimMenuBarStrip::layout(*menuBar, menuBarRect(), scale(), ownAppFrontmost());
  if (menuBar->statusToolTip && layout.statusIcon.contains(help->pos()))
    QToolTip::showText(help->globalPos(), QString::fromStdString(*menuBar->statusToolTip), this,
                       layout.statusIcon.toRect());
  else
    QToolTip::hideText();
  return true;
}

void SimDesktopView::clickedPanel(QWidget& panel) {
  // A click on one of the program's ordinary windows makes the program frontmost and the window
  // key; its keyboard focus follows. The other panels do not activate.
  const auto number = layer_->windowNumber(&panel);
  if (!number) return;
  if (desktop_.selfPid() != 0) desktop_.activate(desktop_.selfPid());
  desktop_.raiseWindow(*number);
  QWidget* focus = QApplication::focusWidget();
  if (!focus || !panel.isAncestorOf(focus)) panel.setFocus(Qt::MouseFocusReason);
  refresh();
}

bool SimDesktopView::pressedTitleButton(Point at) {
  // The window in front at that point, if it is one of the program's own.
  const sim::SimDesktopScene::Window* under = currentScene().windowAt(at);
  if (!under || !menuBar || !menuBar->mainMenu) return false;
  const std::vector<std::int64_t> own = composedWindows();
  if (std::find(own.begin(), own.end(), under->number) == own.end()) return false;
  const auto button = SimWindowPainter::titleButtonAt(under->frame, at);
  using Button = SimWindowPainter::TitleButton;
  if (!button || *button == Button::zoom) return false;
  // The button acts on its window as the Window menu's item does on the key window, so the
  // window closes or minimises the way Command-W and Command-M would have it.
  // A window in the back comes in front and its application with it first; that activation is
  // told on the loop's next turn, so the button acts after it (a window closed before would leave
  // the program active with no window, which opens one).
  const std::string item = *button == Button::close ? "Close" : "Minimize";
  const bool wasFrontmost = ownAppFrontmost();
  if (desktop_.selfPid() != 0) desktop_.activate(desktop_.selfPid());
  desktop_.raiseWindow(under->number);
  std::shared_ptr<platform::Menu> menu = menuBar->mainMenu;
  if (wasFrontmost)
    menu->choose(item);
  else
    desktop_.loop().post([view = QPointer<SimDesktopView>(this), menu, item, number = under->number] {
      if (!view || !view->desktop_.window(number)) return;
      menu->choose(item);
      view->refresh();
    });
  refresh();
  return true;
}

std::vector<std::int64_t> SimDesktopView::composedWindows() const {
  std::vector<std::int64_t> numbers;
  for (const auto& [panel, number] : layer_->windowPanels()) numbers.push_back(number);
  return numbers;
}

void SimDesktopView::refresh() {
  followOwnWindows(currentScene());
  update();
}

void SimDesktopView::followOwnWindows(const sim::SimDesktopScene& scene) {
  std::vector<std::int64_t> backToFront;
  for (const auto& w : scene.windows) backToFront.push_back(w.number);
  layer_->followStacking(backToFront);
  const auto own = layer_->windowPanels();
  for (const auto& [panel, number] : own) {
    const auto at = std::find(backToFront.begin(), backToFront.end(), number);
    // A window the screen does not show (on another Space, its application hidden) is covered
    // whole: its panel shows nothing and takes no clicks, and comes back with its window.
    QRegion covered = at == backToFront.end() ? QRegion(panel->geometry()) : QRegion();
    if (at != backToFront.end())
      for (auto front = at + 1; front != backToFront.end(); ++front) {
        // Another of the program's windows in front is covered too: its title bar is the
        // screen's to draw, and its glass must not show this panel's content sharp beneath.
        const auto& w = scene.windows[static_cast<std::size_t>(front - backToFront.begin())];
        const Rect r = toScreenLayer(w.frame);
        covered += QRectF(r.x, r.y, r.width, r.height).toAlignedRect();
      }
    layer_->setCovered(*panel, covered & panel->geometry());
  }
  // The keyboard is the simulated key window's: when another application comes in front (the
  // switcher, a click on its Dock icon), typing no longer reaches the program's window.
  const bool ownFront = ownAppFrontmost();
  if (ownWasFrontmost_ && !ownFront)
    if (QWidget* focus = QApplication::focusWidget(); focus && focus != this && isAncestorOf(focus))
      for (const auto& [panel, number] : own)
        if (panel == focus || panel->isAncestorOf(focus)) setFocus(Qt::OtherFocusReason);
  ownWasFrontmost_ = ownFront;
}

void SimDesktopView::fitScreenLayer() {
  const QRect shown = screenRect().toRect();
  if (layer_->geometry() == shown) return;
  layer_->setGeometry(shown);
  layer_->relayout();
}

void SimDesktopView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  fitScreenLayer();
}

Rect SimDesktopView::toScreenLayer(const Rect& simulated) const {
  const double s = scale();
  const QPointF at = toView({simulated.x, simulated.y}) - QPointF(layer_->pos());
  return {at.x(), at.y(), simulated.width * s, simulated.height * s};
}

double SimDesktopView::scale() const {
  const Rect& s = scene_.screen;
  if (s.width <= 0 || s.height <= 0) return 1.0;
  return std::min(width() / s.width, height() / s.height);
}

QPointF SimDesktopView::origin() const {
  const Rect& s = scene_.screen;
  return {(width() - s.width * scale()) / 2, (height() - s.height * scale()) / 2};
}

QPointF SimDesktopView::toView(Point p) const {
  return origin() + QPointF((p.x - scene_.screen.x) * scale(), (p.y - scene_.screen.y) * scale());
}

Point SimDesktopView::toSimulated(QPointF v) const {
  const QPointF local = (v - origin()) / scale();
  return {local.x() + scene_.screen.x, local.y() + scene_.screen.y};
}

Point SimDesktopView::toDisplay(Point simulated) const {
  const QPoint global = mapToGlobal(toView(simulated).toPoint());
  return {static_cast<double>(global.x()), static_cast<double>(global.y())};
}

std::uint64_t SimDesktopView::flagsFor(Qt::KeyboardModifiers modifiers) {
  std::uint64_t flags = 0;
  if (modifiers & Qt::ControlModifier) flags |= platform::EventFlag::kCommand;
  if (modifiers & Qt::AltModifier) flags |= platform::EventFlag::kOption;
  if (modifiers & Qt::ShiftModifier) flags |= platform::EventFlag::kShift;
  return flags;
}

std::int64_t SimDesktopView::keyCodeFor(int key) {
  namespace Key = platform::KeyCode;
  switch (key) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return Key::kTab;
    case Qt::Key_W:
      return Key::kW;
    case Qt::Key_Escape:
      return Key::kEscape;
    case Qt::Key_Left:
      return Key::kLeftArrow;
    case Qt::Key_Right:
      return Key::kRightArrow;
    case Qt::Key_Down:
      return Key::kDownArrow;
    case Qt::Key_Up:
      return Key::kUpArrow;
    case Qt::Key_A:
      return 0;
    case Qt::Key_S:
      return 1;
    case Qt::Key_D:
      return 2;
    case Qt::Key_Q:
      return 12;
    case Qt::Key_Space:
      return 49;
    case Qt::Key_Return:
      return 36;
    // The editing keys of the terminals, and F5 for the microphone (Dictation) key.
    case Qt::Key_Z:
      return 6;
    case Qt::Key_X:
      return 7;
    case Qt::Key_Backspace:
      return 51;
    case Qt::Key_Delete:
      return 117;
    case Qt::Key_Home:
      return 115;
    case Qt::Key_End:
      return 119;
    case Qt::Key_F5:
      return Key::kMicrophone;
    default:
      break;
  }
  // The other keys that type characters, at their places on the ANSI keyboard, so that a
  // terminal's shell receives what is typed into it.
  static const std::map<int, std::int64_t> typing{{Qt::Key_F, 3},
                                                  {Qt::Key_H, 4},
                                                  {Qt::Key_G, 5},
                                                  {Qt::Key_C, 8},
                                                  {Qt::Key_V, 9},
                                                  {Qt::Key_B, 11},
                                                  {Qt::Key_E, 14},
                                                  {Qt::Key_R, 15},
                                                  {Qt::Key_Y, 16},
                                                  {Qt::Key_T, 17},
                                                  {Qt::Key_1, 18},
                                                  {Qt::Key_2, 19},
                                                  {Qt::Key_3, 20},
                                                  {Qt::Key_4, 21},
                                                  {Qt::Key_6, 22},
                                                  {Qt::Key_5, 23},
                                                  {Qt::Key_Equal, 24},
                                                  {Qt::Key_9, 25},
                                                  {Qt::Key_7, 26},
                                                  {Qt::Key_Minus, 27},
                                                  {Qt::Key_8, 28},
                                                  {Qt::Key_0, 29},
                                                  {Qt::Key_BracketRight, 30},
                                                  {Qt::Key_O, 31},
                                                  {Qt::Key_U, 32},
                                                  {Qt::Key_BracketLeft, 33},
                                                  {Qt::Key_I, 34},
                                                  {Qt::Key_P, 35},
                                                  {Qt::Key_L, 37},
                                                  {Qt::Key_J, 38},
                                                  {Qt::Key_Apostrophe, 39},
                                                  {Qt::Key_K, 40},
                                                  {Qt::Key_Semicolon, 41},
                                                  {Qt::Key_Backslash, 42},
                                                  {Qt::Key_Comma, 43},
                                                  {Qt::Key_Slash, 44},
                                                  {Qt::Key_N, 45},
                                                  {Qt::Key_M, 46},
                                                  {Qt::Key_Period, 47},
                                                  {Qt::Key_QuoteLeft, 50},
                                                  // With Shift, Qt names the symbol, not the key.
                                                  {Qt::Key_Exclam, 18},
                                                  {Qt::Key_At, 19},
                                                  {Qt::Key_NumberSign, 20},
                                                  {Qt::Key_Dollar, 21},
                                                  {Qt::Key_AsciiCircum, 22},
                                                  {Qt::Key_Percent, 23},
                                                  {Qt::Key_Plus, 24},
                                                  {Qt::Key_ParenLeft, 25},
                                                  {Qt::Key_Ampersand, 26},
                                                  {Qt::Key_Underscore, 27},
                                                  {Qt::Key_Asterisk, 28},
                                                  {Qt::Key_ParenRight, 29},
                                                  {Qt::Key_BraceRight, 30},
                                                  {Qt::Key_BraceLeft, 33},
                                                  {Qt::Key_QuoteDbl, 39},
                                                  {Qt::Key_Colon, 41},
                                                  {Qt::Key_Bar, 42},
                                                  {Qt::Key_Less, 43},
                                                  {Qt::Key_Question, 44},
                                                  {Qt::Key_Greater, 47},
                                                  {Qt::Key_AsciiTilde, 50}};
  const auto it = typing.find(key);
  return it == typing.end() ? -1 : it->second;
}

void SimDesktopView::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  if (onClose) onClose();
}

void SimDesktopView::keyPressEvent(QKeyEvent* event) {
  const std::uint64_t flags = flagsFor(event->modifiers());
  // While the program is frontmost its main menu answers its key equivalents first.
  if (menuBar && menuBar->mainMenu && ownAppFrontmost() && (flags & platform::EventFlag::kCommand) &&
      !event->isAutoRepeat()) {
    const std::string key = QKeySequence(event->key()).toString().toLower().toStdString();
    if (platform::MenuItem* item = menuBar->mainMenu->itemForKey(key, flags);
        item && item->enabled && item->action) {
      item->action();
      refresh();
      return;
    }
  }
  if (flags != heldFlags_) {
    heldFlags_ = flags;
    desktop_.input().setModifiers(flags);
  }
  const std::int64_t code = keyCodeFor(event->key());
  if (code >= 0) {
    // A key typed without Command or Option carries its character, as a real key event does.
    const QString typed = event->text();
    const bool types = !(flags & (platform::EventFlag::kCommand | platform::EventFlag::kOption)) &&
                       !typed.isEmpty() && typed.at(0).isPrint();
    desktop_.input().send({.type = platform::EventType::keyDown,
                           .keyCode = code,
                           .flags = flags,
                           .autorepeat = event->isAutoRepeat(),
                           .text = types ? typed.toStdString() : std::string()});
  }
  refresh();
}

void SimDesktopView::keyReleaseEvent(QKeyEvent* event) {
  const std::int64_t code = keyCodeFor(event->key());
  // Qt reports the modifiers as they were; a released modifier key is no longer held.
  std::uint64_t flags = flagsFor(event->modifiers());
  if (event->key() == Qt::Key_Control) flags &= ~platform::EventFlag::kCommand;
  if (event->key() == Qt::Key_Alt) flags &= ~platform::EventFlag::kOption;
  if (event->key() == Qt::Key_Shift) flags &= ~platform::EventFlag::kShift;
  if (code >= 0 && !event->isAutoRepeat()) desktop_.input().keyUp(code, flags);
  if (flags != heldFlags_) {
    heldFlags_ = flags;
    desktop_.input().setModifiers(flags);
  }
  refresh();
}

void SimDesktopView::mousePressEvent(QMouseEvent* event) {
  const bool opened = event->button() == Qt::LeftButton && openMenuAt(event->position());
  focusBeforePress_ = nullptr;
  if (opened) return;
  const Point at = toSimulated(event->position());
  desktop_.movePointer(at);
  if (event->button() == Qt::LeftButton && pressedTitleButton(at)) return;
  const std::uint64_t flags = flagsFor(event->modifiers());
  EventType type = event->button() == Qt::RightButton  ? EventType::rightMouseDown
                   : event->button() == Qt::LeftButton ? EventType::leftMouseDown
                                                       : EventType::otherMouseDown;
  desktop_.input().send({.type = type, .flags = flags, .location = at});
  refresh();
}

void SimDesktopView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const Point at = toSimulated(event->position());
  desktop_.input().send(
      {.type = EventType::leftMouseUp, .flags = flagsFor(event->modifiers()), .location = at});
  refresh();
}

void SimDesktopView::mouseMoveEvent(QMouseEvent* event) {
  desktop_.movePointer(toSimulated(event->position()));
  desktop_.noteInput(platform::InputEventType::mouseMoved);
}

QRectF SimDesktopView::screenRect() const {
  return {origin(), QSizeF(scene_.screen.width * scale(), scene_.screen.height * scale())};
}

void SimDesktopView::drawScreen(QPainter& p, const QRegion& region) const {
  // Copied only where the view is painted, in bands of rows: a repaint of the switcher's
  // rectangle copied the whole screen, which the painter handed to other threads in pieces
  // whatever the clip.
  const QRectF target = screenRect();
  for (const QRect& r : region)
    paintInRowSlices(p, QRectF(r) & target, [&] { p.drawImage(target, screen_); });
}

void SimDesktopView::paintEvent(QPaintEvent* event) {
  currentScene();
  const bool whole = QRegion(rect()).subtracted(event->region()).isEmpty();
  bool screenChanged = false;
  QPainter p(this);
  // The screen is drawn into a picture of its own at the device's pixels, drawn again only when
  // the scene changed: the repaints in between copy it.
  const double pixelsPerPoint = scale() * devicePixelRatioF();
  const QSize pixels(static_cast<int>(std::ceil(scene_.screen.width * pixelsPerPoint)),
                     static_cast<int>(std::ceil(scene_.screen.height * pixelsPerPoint)));
  const bool drawsScreen = !pixels.isEmpty() && pixels.width() <= 16384 && pixels.height() <= 16384;
  // The dark surround only where the screen's picture does not cover whole pixels.
  QRegion surround = event->region();
  if (drawsScreen) {
    const QRectF target = screenRect();
    surround -=
        QRect(QPoint(static_cast<int>(std::ceil(target.left())), static_cast<int>(std::ceil(target.top()))),
              QPoint(static_cast<int>(std::floor(target.right())) - 1,
                     static_cast<int>(std::floor(target.bottom())) - 1));
  }
  for (const QRect& r : surround) p.fillRect(r, QColor(24, 24, 28));
  if (drawsScreen) {
    const std::vector<std::int64_t> composed = composedWindows();
    if (screen_.size() != pixels || !screenScene_ || !(*screenScene_ == scene_) ||
        composed != screenComposed_) {
      screen_ = QImage(pixels, QImage::Format_RGBA8888_Premultiplied);
      // The wallpaper covers every pixel, unless the screen ends inside the last ones.
      if (scene_.screen.width * pixelsPerPoint != pixels.width() ||
          scene_.screen.height * pixelsPerPoint != pixels.height())
        screen_.fill(Qt::black);
      {
        QPainter into(&screen_);
        SimDesktopPainter::paint(into, desktop_, scene_, QPointF(0, 0), pixelsPerPoint, composed);
      }
      screenScene_ = scene_;
      screenComposed_ = composed;
      screenChanged = true;
      if (picture) picture->remember(scene_, screen_, pixelsPerPoint, composed);
    }
    drawScreen(p, event->region());
  }
  if (menuBar) SimMenuBarStrip::paint(p, *menuBar, menuBarRect(), scale(), ownAppFrontmost());
  SimSystemMenuTitle::paint(p, systemMenuTitleRect(), scale());
  // The title whose menu is open is marked, as a pressed title is.
  if (openMenu_ && !openMenu_->isHidden()) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 38));
    p.drawRoundedRect(openMenuTitle_.adjusted(0, 2 * scale(), 0, -2 * scale()), 4 * scale(), 4 * scale());
  }
  if (whole) {
    drawnMenuBar_ = menuBarState();
    partlyDrawn_ = false;
  } else if (screenChanged || partlyDrawn_ || menuBarState() != drawnMenuBar_) {
    // Only part of a changed picture reached the view: the rest follows on the loop's next turn.
    partlyDrawn_ = true;
    desktop_.loop().post([view = QPointer<SimDesktopView>(this)] {
      if (view) view->update();
    });
  }
}

}  // namespace velvix::qt
