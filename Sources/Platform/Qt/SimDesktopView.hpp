#pragma once
// The window onto the simulated desktop, so that a person can use the switcher on Linux: it draws
// the simulated screen (windows of the current Space in stacking order, the frontmost application
// and window marked, the menu-bar strip, the Dock strip with icons, badges and minimized windows)
// and turns keys and clicks into events of the simulated hardware. Control stands in for
// Command and Alt for Option, so Control-Tab is the chord.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QDeadlineTimer>
#include <QImage>
#include <QPointer>
#include <QWidget>

#include "Platform/MainLoop.hpp"
#include "Platform/MenuBar.hpp"
#include "Platform/ScreenPlacement.hpp"
#include "Platform/Simulated/SimDesktopScene.hpp"

namespace velvix::sim {
class SimDesktop;
class SimMenuBar;
class SimSystemMenu;
}  // namespace velvix::sim

namespace velvix::qt {

class SimDesktopPicture;
class SimMenuPanel;
class SimScreenLayer;

class SimDesktopView final : public QWidget, public platform::ScreenPlacement {
 public:
  static constexpr const char* kTitle = "Simulated desktop";
  // The room a window manager's frame takes around the window (a title bar and thin borders),
  // which a screen's available area does not leave out.
  static constexpr Size kFrameAllowance{12, 40};

  explicit SimDesktopView(sim::SimDesktop& desktop, QWidget* parent = nullptr);
  ~SimDesktopView() override;

  // The scale the window opens at: one pixel a point when the simulated screen and a frame fit in
  // the display's available area (what its panels leave), else as large as fits, never below half.
  static double openingScale(Size screen, Size available);

  // Where a point of the simulated screen is in this widget, and back.
  QPointF toView(Point simulated) const;
  Point toSimulated(QPointF view) const;
  Point toDisplay(Point simulated) const override;
  double displayScale() const override { return scale(); }
  void keepKeyboard(double seconds) override;
  const sim::SimDesktopScene& scene() const { return scene_; }
  // The simulated screen's area of this view, which holds the program's panels and windows.
  SimScreenLayer& screenLayer() const { return *layer_; }
  // A frame of the simulated screen in the screen layer's coordinates (at the view's scale).
  Rect toScreenLayer(const Rect& simulated) const;
  // Called when the window is closed: it is the user's screen, so the program quits.
  std::function<void()> onClose;
  // The hardware flags Qt's modifiers stand for.
  static std::uint64_t flagsFor(Qt::KeyboardModifiers modifiers);
  // The simulated key code of a Qt key (-1 when it has none).
  static std::int64_t keyCodeFor(int qtKey);
  // The program's menu bar: its main menu (while it is frontmost) and status item are drawn in
  // the menu-bar strip, a click opens them, and the main menu's key equivalents work.
  sim::SimMenuBar* menuBar = nullptr;
  // The menu a click in the strip opened, while it is open (composed on the simulated screen).
  SimMenuPanel* openMenu() const { return openMenu_.get(); }
  // Opens the menu under a point of the view, as a click there does; false when there is none.
  bool openMenuAt(QPointF point);
  void closeMenu();
  // Gets each screen this window draws, so glass panels blur it without drawing it again.
  const SimDesktopPicture* picture = nullptr;
  // The simulated system's menu, whose title the strip shows at its right.
  sim::SimSystemMenu& systemMenu() { return *systemMenu_; }

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  bool focusNextPrevChild(bool) override { return false; }  // Tab belongs to the simulated keyboard
  // The program's own panels and windows lie over this view: the pointer over them, clicks into
  // them and keys typed into them are the simulated system's too.
  bool eventFilter(QObject* watched, QEvent* event) override;
  // The status item's tool tip.
  bool event(QEvent* event) override;

 private:
  void refresh();
  void clickedPanel(QWidget& panel);
  void takeKeyboardBack();
  // The program's own windows take their places among the other windows of `scene`: stacked as
  // their simulated windows are, covered where others lie in front; the keyboard leaves them
  // when the program stops being frontmost.
  void followOwnWindows(const sim::SimDesktopScene& scene);
  // A press on the close or minimise button of one of the program's windows: true when it acted.
  bool pressedTitleButton(Point at);
  // A press while a menu is open: true when it only closed the menu.
  bool pressedWithMenuOpen(QPointF point);
  // While a menu is open, the menu of another title of the strip opens instead (the pointer moved
  // onto it, or the arrow keys stepped to it), the keyboard still going back where it was.
  void switchMenuTo(QPointF titlePoint, bool withKeyboard);
  // The strip's titles, left to right.
  std::vector<QRectF> menuTitles() const;
  // Keeps the screen layer over the simulated screen, its panels at the view's scale.
  void fitScreenLayer();
  bool ownAppFrontmost() const;
  QRectF menuBarRect() const;
  QRectF systemMenuTitleRect() const;
  double scale() const;
  QPointF origin() const;
  // Where the screen's picture lies in the view.
  QRectF screenRect() const;
  // The screen's picture, where `region` (view coordinates) asks for it.
  void drawScreen(QPainter& painter, const QRegion& region) const;

  sim::SimDesktop& desktop_;
  sim::SimDesktopScene scene_;
  std::uint64_t sceneRevision_ = 0;  // the desktop's revision that scene_ shows
  // The scene of the desktop as it is now, worked out again only when the desktop changed.
  const sim::SimDesktopScene& currentScene();
  // Until when a loss of the keyboard to another program is undone (keepKeyboard).
  std::optional<QDeadlineTimer> keepKeyboardUntil_;
  std::uint64_t heldFlags_ = 0;
  // The desktop tells of its changes; the view looks once on the loop's next turn, however many
  // came, and draws again only when what it shows changed. Nothing looks while nothing changes.
  std::shared_ptr<void> watch_;
  bool lookPosted_ = false;
  std::uint64_t lookedRevision_ = 0;  // the desktop's revision the last look followed
  void changed();
  void look();
  // What the menu-bar strip draws from, to tell whether it changed.
  struct MenuBarState {
    const void* mainMenu = nullptr;
    const void* statusMenu = nullptr;
    std::optional<platform::StatusImage> statusImage;
    bool ownAppFrontmost = false;
    bool operator==(const MenuBarState&) const = default;
  };
  MenuBarState menuBarState() const;
  // The simulated windows whose content the program's panels draw over the screen.
  std::vector<std::int64_t> composedWindows() const;
  // The screen as last drawn, and the scene and composed windows it shows: a repaint of the same
  // copies it.
  QImage screen_;
  std::optional<sim::SimDesktopScene> screenScene_;
  std::vector<std::int64_t> screenComposed_;
  // The menu-bar strip as last drawn on the whole view. A repaint of part of the view (the region
  // a panel uncovers) shows only that part of a changed screen: the rest of the view is drawn on
  // the next turn, so no part of it keeps showing an older state.
  MenuBarState drawnMenuBar_;
  bool partlyDrawn_ = false;
  std::unique_ptr<SimMenuPanel> openMenu_;
  QRectF openMenuTitle_;  // where in the strip the open menu was opened from
  // Where the keyboard was before the press being handled moved it to this view: a menu opened
  // by the press hands it back there, as the menu bar leaves the key window's focus alone.
  QPointer<QWidget> focusBeforePress_;
  bool ownWasFrontmost_ = false;
  SimScreenLayer* layer_ = nullptr;  // a child, deleted with the view
  std::unique_ptr<sim::SimSystemMenu> systemMenu_;
};

}  // namespace velvix::qt
